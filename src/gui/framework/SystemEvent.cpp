#include "SystemEvent.h"

#include <QMetaObject>

void SystemEvent::Trigger(QObject* payload) {
    std::shared_ptr<QObject> p(payload);
    ++pending_;
    // Queued: deliveries run in trigger order when the GUI cycle processes its tasks.
    QMetaObject::invokeMethod(
        this,
        [this, p]() {
            --pending_;
            emit triggered(p.get());
        },
        Qt::QueuedConnection);
}
