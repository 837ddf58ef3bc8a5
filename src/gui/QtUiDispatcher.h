#pragma once
// The program's UiDispatcher: a task posted from any thread runs later on the Qt event loop of
// the receiver's thread, and is dropped if the receiver is gone by then.

#include "platform/UiDispatcher.h"

#include <QObject>

namespace quill {

class QtUiDispatcher : public UiDispatcher {
public:
    explicit QtUiDispatcher(QObject* receiver) : m_receiver(receiver) {}

    void post(std::function<void()> task) override
    {
        QMetaObject::invokeMethod(m_receiver, std::move(task), Qt::QueuedConnection);
    }

private:
    QObject* m_receiver;
};

} // namespace quill
