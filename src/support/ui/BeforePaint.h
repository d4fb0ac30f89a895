#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <utility>

namespace support {

// Work asked for any number of times, done once before the widgets next paint: a queued call comes
// before the paint, which is posted at a lower priority. (Asked for while posted events are being
// delivered, it comes after those already waiting, a paint among them.) Kept by the context object,
// whose end drops the call.
class BeforePaint {
public:
    BeforePaint(QObject *context, std::function<void()> work) : context_(context), work_(std::move(work)) {}

    void Request()
    {
        if (std::exchange(pending_, true))
            return;
        QMetaObject::invokeMethod(context_, [this] {
            if (std::exchange(pending_, false))
                work_();
        }, Qt::QueuedConnection);
    }
    // Done meanwhile: the call asked for does nothing.
    void Cancel() { pending_ = false; }
    bool Pending() const { return pending_; }

private:
    QObject *context_;
    std::function<void()> work_;
    bool pending_ = false;
};

} // namespace support
