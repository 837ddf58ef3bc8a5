#include "gui/QtClientSocket.h"

#include "gui/QtGbk.h"

#include <QTcpSocket>
#include <QTimer>

namespace quill {

QtClientSocket::QtClientSocket(QObject* parent) : QObject(parent), m_socket(new QTcpSocket(this))
{
    connect(m_socket, &QTcpSocket::connected, this, [this] { reportConnected(); });
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { reportReadable(); });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { reportDisconnected(); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, &QtClientSocket::onError);
}

void QtClientSocket::send(const std::string& bytes)
{
    m_socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string QtClientSocket::receiveText() { return m_socket->readAll().toStdString(); }

void QtClientSocket::startConnecting()
{
    if (port() <= 0 || port() > 65535) {
        // Reported like any failed attempt: later, as an event.
        QTimer::singleShot(0, this, [this] { reportFailed(ConnectFailure::Other, {}); });
        return;
    }
    m_socket->connectToHost(fromGbk(host()), static_cast<quint16>(port()));
}

void QtClientSocket::shutDown() { m_socket->abort(); }

void QtClientSocket::onError()
{
    const QAbstractSocket::SocketError error = m_socket->error();
    if (m_socket->state() == QAbstractSocket::ConnectedState || error == QAbstractSocket::RemoteHostClosedError)
        return; // a connection that was open ends through disconnected()
    ConnectFailure failure = ConnectFailure::Other;
    if (error == QAbstractSocket::HostNotFoundError)
        failure = ConnectFailure::HostNotFound;
    else if (error == QAbstractSocket::ConnectionRefusedError)
        failure = ConnectFailure::Refused;
    else if (error == QAbstractSocket::SocketTimeoutError)
        failure = ConnectFailure::TimedOut;
    else if (error == QAbstractSocket::NetworkError)
        failure = ConnectFailure::Unreachable;
    const std::string systemText = toGbk(m_socket->errorString());
    m_socket->abort();
    reportFailed(failure, systemText);
}

} // namespace quill
