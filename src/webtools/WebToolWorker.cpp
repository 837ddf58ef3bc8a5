#include "webtools/WebToolWorker.h"

namespace quill {

WebToolWorker::WebToolWorker(UiDispatcher& ui, WebLimits limits, Job job)
    : m_ui(ui), m_thread([this, limits, job = std::move(job)] {
          WebContext context;
          context.limits = limits;
          context.stop = &m_stop;
          job(context, [this](std::function<void()> task) {
              m_ui.post([delivery = m_delivery, task = std::move(task)] {
                  if (delivery->ownerAlive)
                      task();
              });
          });
      })
{
}

WebToolWorker::~WebToolWorker()
{
    m_stop = true;
    m_thread.join();
    m_delivery->ownerAlive = false;
}

} // namespace quill
