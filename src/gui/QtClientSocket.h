#pragma once
// The window's client socket: the core's ClientSocket on a QTcpSocket, whose events arrive
// on the thread that owns it.

#include "webtools/ClientSocket.h"

#include <QObject>

class QTcpSocket;

namespace quill {

class QtClientSocket : public QObject, public ClientSocket {
    Q_OBJECT
public:
    explicit QtClientSocket(QObject* parent = nullptr);

    void send(const std::string& bytes) override;
    std::string receiveText() override;

private:
    void startConnecting() override;
    void shutDown() override;
    void onError();

    QTcpSocket* m_socket;
};

} // namespace quill
