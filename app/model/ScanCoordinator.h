// Runs one scan off the GUI thread, for identical files or for similar photos, and turns its
// progress into the texts of the scanning overlay: a headline, a detail line, an optional fraction
// and the elapsed seconds.
#pragma once

#include "SimilarResult.h"
#include "model/ReviewSession.h"
#include "scan/ScanConfig.h"
#include "scan/ScanPhase.h"
#include "scan/ScanResult.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace quillmere {

class ScanCoordinator : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isScanning READ isScanning NOTIFY isScanningChanged)
    Q_PROPERTY(QString headline READ headline NOTIFY headlineChanged)
    Q_PROPERTY(QString detail READ detail NOTIFY detailChanged)
    Q_PROPERTY(bool hasFraction READ hasFraction NOTIFY fractionChanged)
    Q_PROPERTY(double fraction READ fractionValue NOTIFY fractionChanged)
    Q_PROPERTY(double elapsed READ elapsed NOTIFY elapsedChanged)

  public:
    /// Runs a whole scan on the calling (worker) thread, reporting progress as it goes.
    using Engine = std::function<ScanResult(const ScanConfig&, const ScanProgress&)>;
    /// A finished scan: its result, and its pairs made ready for review on the worker thread,
    /// so that showing a review of hundreds of thousands of pairs does not stall the window.
    struct Outcome {
        ScanResult result;
        ReviewSession::Pairs pairs;
    };
    /// Receives the outcome on the GUI thread.
    using Completion = std::function<void(Outcome)>;
    /// A finished scan for similar photos, its pairs made ready on the worker thread.
    struct SimilarOutcome {
        similar::SimilarResult result;
        ReviewSession::Pairs pairs;
    };
    using SimilarCompletion = std::function<void(SimilarOutcome)>;

    /// Scans with DuplicateScanner, which stops at the next file when the scan is cancelled.
    explicit ScanCoordinator(QObject* parent = nullptr);
    /// Scans with `engine`; a cancelled scan's engine runs on unobserved.
    explicit ScanCoordinator(Engine engine, QObject* parent = nullptr);
    /// Cancels a running scan, so that no scan outlives the coordinator.
    ~ScanCoordinator() override;

    /// Starts scanning the whole of each root, in the given order, and returns true; `done`
    /// later receives the result unless the coordinator is gone by then. Returns false and
    /// changes nothing when a scan is already running or there are no roots.
    bool scan(const std::vector<std::string>& roots, Completion done);
    /// The same for a scan of the roots for similar photos, with the fingerprint cache the
    /// command-line tool uses.
    bool scanSimilar(const std::vector<std::string>& roots, SimilarCompletion done);
    /// Stops the running scan: the coordinator is idle again at once, and neither the scan's
    /// result nor its later progress reaches anyone. Does nothing when no scan runs.
    void cancel();

    bool isScanning() const { return isScanning_; }
    const QString& headline() const { return headline_; }
    const QString& detail() const { return detail_; }
    /// Progress of the current phase in 0…1; nothing when indeterminate.
    std::optional<double> fraction() const { return fraction_; }
    bool hasFraction() const { return fraction_.has_value(); }
    /// The fraction, or 0 when indeterminate.
    double fractionValue() const { return fraction_.value_or(0.0); }
    /// Seconds since the scan started, updated once a second.
    double elapsed() const { return elapsed_; }

  signals:
    void isScanningChanged();
    void headlineChanged();
    void detailChanged();
    void fractionChanged();
    void elapsedChanged();

  private:
    /// Hands a change of the texts from a worker thread to the GUI thread, where it is dropped
    /// unless its scan is still the one running.
    using Post = std::function<void(std::function<void(ScanCoordinator&)>)>;
    /// Runs `work` in the thread pool, and `done` on its result, the machinery both kinds of
    /// scan share.
    template <typename Result>
    bool start(const std::vector<std::string>& roots, const QString& headline,
               std::function<Result(const Post&, std::stop_token)> work,
               std::function<void(Result)> done);
    void report(const ScanPhase& phase);
    void reportFingerprinting(std::int64_t done, std::int64_t total);
    void startTicking();
    void tick();
    void finish();

    void setScanning(bool scanning);
    void setHeadline(const QString& headline);
    void setDetail(const QString& detail);
    void setFraction(std::optional<double> fraction);
    void setElapsed(double elapsed);

    /// Empty for DuplicateScanner.
    Engine engine_;
    /// Asks the running scan to stop; a new one per scan.
    std::stop_source stop_;
    /// Numbers the scans, so that what arrives from a cancelled one is recognised and dropped.
    int generation_ = 0;
    bool isScanning_ = false;
    QString headline_;
    QString detail_;
    std::optional<double> fraction_;
    double elapsed_ = 0;
    std::optional<std::chrono::steady_clock::time_point> startedAt_;
    QTimer ticker_;
};

} // namespace quillmere
