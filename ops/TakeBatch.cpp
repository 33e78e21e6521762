#include "TakeBatch.h"

#include <QEventLoop>
#include <QMetaObject>

TakeBatch::TakeBatch(QObject* parent) : QObject(parent)
{
    connect(&m_thread, &AudioThread::progressUpdate, this, &TakeBatch::on_progressUpdate);
}

// m_thread's destructor stops an operation in progress, which puts its take
// back or removes its partial output.
TakeBatch::~TakeBatch() = default;

bool TakeBatch::start(const QStringList& sources, bool stopOnError)
{
    if (m_running || sources.isEmpty())
        return false;
    m_sources = sources;
    m_stopOnError = stopOnError;
    m_running = true;
    m_stopAfterItem = false;
    m_aborted = false;
    m_ok = true;
    m_index = -1;
    m_results.clear();
    QMetaObject::invokeMethod(this, &TakeBatch::startNext, Qt::QueuedConnection);
    return true;
}

void TakeBatch::cancel()
{
    m_stopAfterItem = true;
}

void TakeBatch::abort()
{
    if (!m_running)
        return;
    m_stopAfterItem = true;
    m_aborted = true;
    // The operation stops at its next chunk, puts its take back or removes
    // its partial output, and sends STATE_ERROR, which ends the file as
    // cancelled.
    m_thread.CleanUp();
}

void TakeBatch::startNext()
{
    if (!m_running)
        return;
    ++m_index;
    if (m_stopAfterItem || m_index >= m_sources.size()) {
        complete();
        return;
    }
    m_current = ItemResult();
    m_current.source = m_sources.at(m_index);
    emit itemStarted(m_index, m_current.source);
    m_fastDone = false;
    m_fastFailed = false;
    m_inStartItem = true;
    const bool started = startItem(m_current);
    m_inStartItem = false;
    if (!started) {
        finishItem(m_current.outcome, m_current.reason);
    } else if (m_fastDone) {
        m_current.inPlace = true;
        finishItem(Outcome::Done, QString());
    } else if (m_fastFailed) {
        finishItem(Outcome::Failed, workerError());
    }
    // Otherwise the worker runs; its final state arrives later.
}

void TakeBatch::on_progressUpdate(int state, quint32 value)
{
    if (!m_running)
        return;
    switch (state) {
    case AudioThread::STATE_PROGRESS:
        emit itemProgress(m_index, value);
        break;
    case AudioThread::STATE_DONE:
        if (m_inStartItem)
            m_fastDone = true;
        else
            finishItem(Outcome::Done, QString());
        break;
    case AudioThread::STATE_ERROR:
        if (m_inStartItem)
            m_fastFailed = true;
        else if (m_aborted)
            finishItem(Outcome::Cancelled, QStringLiteral("cancelled"));
        else
            finishItem(Outcome::Failed, workerError());
        break;
    default:
        break;
    }
}

void TakeBatch::finishItem(Outcome outcome, const QString& reason)
{
    ItemResult r = m_current;
    r.outcome = outcome;
    r.reason = reason;
    if (outcome == Outcome::Done)
        itemSucceeded(r);
    else
        itemEnded();
    m_lock.reset();
    m_results.append(r);
    if (r.outcome == Outcome::Failed || r.outcome == Outcome::Cancelled) {
        m_ok = false;
        if (m_stopOnError || r.outcome == Outcome::Cancelled)
            m_stopAfterItem = true;
    }
    emit itemFinished(m_index, r);
    QMetaObject::invokeMethod(this, &TakeBatch::startNext, Qt::QueuedConnection);
}

QString TakeBatch::workerError() const
{
    return m_thread.m_errorMsg.isEmpty() ? m_failureText : m_thread.m_errorMsg;
}

bool TakeBatch::lockTake(const QString& path, QString* error)
{
    m_lock = std::make_unique<TakeLock>();
    if (m_lock->acquire(path, error))
        return true;
    m_lock.reset();
    return false;
}

void TakeBatch::complete()
{
    m_running = false;
    m_lock.reset();
    emit finished(m_ok);
}

QVector<TakeBatch::ItemResult> TakeBatch::run(const QStringList& sources, bool stopOnError)
{
    QEventLoop loop;
    const QMetaObject::Connection c = connect(this, &TakeBatch::finished, &loop, &QEventLoop::quit);
    if (start(sources, stopOnError))
        loop.exec();
    disconnect(c);
    return m_results;
}
