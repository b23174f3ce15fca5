#pragma once

#include "util/RowListModel.h"

#include <QPointer>
#include <QSemaphore>
#include <QThreadPool>
#include <QtTest>

// Sorts run on the thread pool (see RowListModel): what a test needs to wait for them, or to hold
// them back.

// Turns the event loop until `model` has taken the order of its last sort; false when it has not
// within the time.
inline bool SortDone(const RowListModel& model, int timeoutMs = 20000)
{
    return QTest::qWaitFor([&model] { return !model.isSorting(); }, timeoutMs);
}

// Sorts of `model` go to a pool of its own whose one thread is busy until release(): until then
// a sort has started for the table and has not ended, for as long as the test likes. The model
// gets the global pool back when this goes.
class HeldSorts {
public:
    explicit HeldSorts(RowListModel& model)
        : m_model(&model)
    {
        m_pool.setMaxThreadCount(1);
        m_pool.start([this] { m_released.acquire(); });
        model.setSortThreadPool(&m_pool);
    }
    ~HeldSorts()
    {
        release();
        m_pool.waitForDone();
        if (m_model)
            m_model->setSortThreadPool(QThreadPool::globalInstance());
    }
    HeldSorts(const HeldSorts&) = delete;
    HeldSorts& operator=(const HeldSorts&) = delete;

    void release()
    {
        if (!m_open) {
            m_open = true;
            m_released.release();
        }
    }
    // Lets the held sorts run and waits for their workers to end, without turning the event loop:
    // what they found is then waiting for the model.
    void releaseAndLetFinish()
    {
        release();
        m_pool.waitForDone();
    }

private:
    QPointer<RowListModel> m_model;
    QThreadPool m_pool;
    QSemaphore m_released;
    bool m_open = false;
};
