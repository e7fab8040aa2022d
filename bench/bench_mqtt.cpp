// SPDX-License-Identifier: GPL-3.0-or-later
// breezon-record publishing to a real Mosquitto broker on 127.0.0.1:
// - Latency: from the moment the last byte of a frame is written into the
//   pseudo-terminal to the moment a subscriber receives its row from the
//   broker, over 100 frames written at random moments, beside the latency
//   to the row itself (the same frames, the same run).
// - CPU: breezon-record --demo --period 0.5 publishing every row for 20 s,
//   percent of one core (utime + stime from /proc/PID/stat), beside the same
//   command without --mqtt.
// - A week away: breezon-record --from a recording of 1,200,000 rows (a week
//   at 0.5 s) to a broker that is not there; the rows wait in the
//   recording's outbox. Then the broker starts: the time until a subscriber
//   has them all, whether they came in order, and the recorder's peak
//   resident memory, beside the same conversion without --mqtt.
#include "BenchSupport.h"
#include "KeptRecording.h"
#include "Frame.h"
#include "Recorder.h"
#include "RecordingFileReader.h"
#include "RecordingFileWriter.h"
#include "Simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <mosquitto.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>

namespace {

constexpr int kPeriodMs = 500;
constexpr int kLatencyFrames = 100;
constexpr double kCpuSeconds = 20;
constexpr int kWeekRows = 1200000;

int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &size);
    ::close(s);
    return ntohs(a.sin_port);
}

// Mosquitto on 127.0.0.1, anonymous, no persistence.
class Broker {
public:
    const int port = freePort();
    bool start()
    {
        QFile conf(dir_.filePath(QStringLiteral("m.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\nuser root\nmax_queued_messages 0\n").arg(port).toUtf8());
        conf.close();
        process_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
        process_.waitForStarted(5000);
        QThread::msleep(300);
        if (process_.state() != QProcess::Running)
            std::fprintf(stderr, "mosquitto: %s\n", process_.readAll().constData());
        return process_.state() == QProcess::Running;
    }
    ~Broker()
    {
        process_.terminate();
        process_.waitForFinished(5000);
    }
    QString url(const char *prefix) const { return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(port).arg(prefix); }

private:
    QTemporaryDir dir_;
    QProcess process_;
};

// A libmosquitto subscriber: the receive time of each row, by seq, in the
// order received.
class Subscriber {
public:
    Subscriber(int port, const std::string &topic) : topic_(topic)
    {
        mosquitto_lib_init();
        client_ = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(client_, [](mosquitto *m, void *self, int) {
            mosquitto_subscribe(m, nullptr, static_cast<Subscriber *>(self)->topic_.c_str(), 1);
        });
        mosquitto_message_callback_set(client_, [](mosquitto *, void *self, const mosquitto_message *msg) {
            const auto at = bench::Clock::now();
            auto *s = static_cast<Subscriber *>(self);
            const std::string payload(static_cast<const char *>(msg->payload), std::size_t(msg->payloadlen));
            const std::size_t key = payload.find("\"seq\":");
            if (key == std::string::npos)
                return;
            const int seq = std::atoi(payload.c_str() + key + 6);
            std::lock_guard lock(s->mutex_);
            s->order_.push_back(seq);
            s->times_.emplace(seq, at);
        });
        mosquitto_connect(client_, "127.0.0.1", port, 30);
        mosquitto_loop_start(client_);
        QThread::msleep(200);
    }
    ~Subscriber()
    {
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, false);
        mosquitto_destroy(client_);
    }
    std::size_t count()
    {
        std::lock_guard lock(mutex_);
        return order_.size();
    }
    std::vector<int> order()
    {
        std::lock_guard lock(mutex_);
        return order_;
    }
    std::optional<bench::Clock::time_point> time(int seq)
    {
        std::lock_guard lock(mutex_);
        const auto it = times_.find(seq);
        return it == times_.end() ? std::nullopt : std::optional(it->second);
    }

private:
    std::string topic_;
    mosquitto *client_ = nullptr;
    std::mutex mutex_;
    std::vector<int> order_;
    std::map<int, bench::Clock::time_point> times_;
};

void skip(benchmark::State &state, const char *why)
{
    state.SkipWithError(why);
    for (auto _ : state) {
    }
}

void brokerLatency(benchmark::State &state)
{
    Broker broker;
    Simulator instrument; // its writer is never started: frames are written here
    std::string why;
    if (!broker.start() || !instrument.open(&why))
        return skip(state, "the broker or the pseudo-terminal did not start");
    Subscriber sub(broker.port, "bench/latency/reading");
    RecorderOptions options;
    options.port = QString::fromStdString(instrument.slavePath());
    options.periodMs = kPeriodMs;
    options.outputs.push_back({QStringLiteral("--mqtt"), broker.url("bench/latency")});
    QTemporaryDir recordings;
    options.settings.insert(QStringLiteral("--breezon"), recordings.filePath(QStringLiteral("latency.breezon")));
    std::FILE *devnull = std::fopen("/dev/null", "w");
    Recorder recorder(options, devnull, stderr);

    std::vector<bench::Clock::time_point> written, rowAt;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> delayMs(0, kPeriodMs);
    bool waiting = false;
    QEventLoop done;
    auto writeFrame = [&] {
        FrameFields f;
        f.humidity = std::uint16_t(450 + written.size() % 50);
        f.temperature = 215;
        f.reading = std::uint16_t(100 + written.size() % 900);
        f.speed = f.reading;
        f.area = 250;
        const SampleFrame frame = wireFrame(f);
        instrument.writeRaw(frame.bytes.data(), frame.bytes.size());
        written.push_back(bench::Clock::now());
        waiting = true;
    };
    QObject::connect(&recorder, &Recorder::rowRecorded, &done, [&] {
        const auto at = bench::Clock::now();
        if (!waiting)
            return; // a row repeated by the clock without a new frame
        waiting = false;
        rowAt.push_back(at);
        if (int(rowAt.size()) >= kLatencyFrames)
            QTimer::singleShot(500, &done, &QEventLoop::quit); // the last row's way to the broker
        else
            QTimer::singleShot(delayMs(random), &done, writeFrame);
    });
    for (auto _ : state) {
        const auto start = bench::Clock::now();
        if (!recorder.start()) {
            state.SkipWithError("the recorder did not start");
            break;
        }
        QTimer::singleShot(200, &done, writeFrame);
        QTimer::singleShot(kLatencyFrames * (kPeriodMs * 3) + 10000, &done, &QEventLoop::quit);
        done.exec();
        recorder.finish();
        state.SetIterationTime(bench::secondsSince(start));
    }
    // Rows are numbered from 0 in the order of the frames.
    std::vector<double> row, broker_;
    for (std::size_t i = 0; i < rowAt.size(); ++i) {
        row.push_back(std::chrono::duration<double, std::milli>(rowAt[i] - written[i]).count());
        if (const auto at = sub.time(int(i)))
            broker_.push_back(std::chrono::duration<double, std::milli>(*at - written[i]).count());
    }
    if (broker_.size() < std::size_t(kLatencyFrames))
        state.SkipWithError("a row did not reach the subscriber");
    state.counters["row_median_ms"] = bench::median(row);
    state.counters["row_p99_ms"] = bench::quantile(row, 0.99);
    state.counters["broker_median_ms"] = bench::median(broker_);
    state.counters["broker_p99_ms"] = bench::quantile(broker_, 0.99);
    state.counters["samples"] = double(broker_.size());
    std::fclose(devnull);
}
BENCHMARK(brokerLatency)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// Percent of one core that breezon-record used over `seconds`, from its
// /proc/PID/stat, after one second to settle.
double recorderCpu(const QStringList &extra, int *rows)
{
    QProcess p;
    p.start(QStringLiteral(BREEZON_RECORD_PATH),
            QStringList{QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.5")} + extra);
    if (!p.waitForStarted(10000))
        return -1;
    QThread::msleep(1000);
    const std::string stat = "/proc/" + std::to_string(p.processId()) + "/stat";
    const double cpu0 = bench::cpuSecondsOf(stat);
    const auto start = bench::Clock::now();
    QThread::msleep(unsigned(kCpuSeconds * 1000));
    const double percent = (bench::cpuSecondsOf(stat) - cpu0) / bench::secondsSince(start) * 100.0;
    ::kill(pid_t(p.processId()), SIGTERM);
    p.waitForFinished(20000);
    *rows = int(p.readAllStandardOutput().count('\n'));
    return percent;
}

void publishingCpu(benchmark::State &state)
{
    Broker broker;
    if (!broker.start())
        return skip(state, "the broker did not start");
    for (auto _ : state) {
        int plainRows = 0, mqttRows = 0;
        const double plain = recorderCpu({}, &plainRows);
        const double mqtt = recorderCpu({QStringLiteral("--mqtt"), broker.url("bench/cpu")}, &mqttRows);
        state.SetIterationTime(2 * kCpuSeconds);
        state.counters["mqtt_pct"] = mqtt;
        state.counters["plain_pct"] = plain;
        state.counters["rows"] = mqttRows;
    }
}
BENCHMARK(publishingCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// A week of rows at 0.5 s.
QString weekFile()
{
    return bench::keptRecording(QStringLiteral("breezon-bench-week.breezon"), kWeekRows, [](int i) {
        FrameFields f;
        f.humidity = std::uint16_t(450 + i % 50);
        f.temperature = 215;
        f.reading = f.speed = std::uint16_t(100 + i % 900);
        f.area = 250;
        RowRecord row;
        row.seq = i;
        row.time = {1796729371512 + std::int64_t(i) * kPeriodMs, 3600};
        row.frame = storedFrame(f);
        row.reading = decodeFrame(row.frame);
        return row;
    });
}

// Runs breezon-record with `args` (standard output thrown away), calling
// `meanwhile` every 100 ms with the seconds since its start; its peak
// resident memory in MB, or -1 when it failed.
double peakMbOf(const QStringList &args, const std::function<void(double)> &meanwhile = {})
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(QStringLiteral(BREEZON_RECORD_PATH), args);
    if (!p.waitForStarted(10000))
        return -1;
    const std::string status = "/proc/" + std::to_string(p.processId()) + "/status";
    const auto start = bench::Clock::now();
    long peakKb = 0;
    while (!p.waitForFinished(100)) {
        peakKb = std::max(peakKb, bench::statusKb("VmHWM", status));
        if (meanwhile)
            meanwhile(bench::secondsSince(start));
    }
    return p.exitCode() == 0 ? double(peakKb) / 1024.0 : -1;
}

void awayForAWeek(benchmark::State &state)
{
    const QString week = weekFile();
    if (week.isEmpty())
        return skip(state, "the week's recording could not be made");
    Broker broker; // not started yet
    // A destination of its own each time: the outbox of an earlier run
    // would find every row taken already.
    const QString prefix = QStringLiteral("bench/week%1").arg(::getpid());
    for (auto _ : state) {
        const double plainMb = peakMbOf({QStringLiteral("--from"), week});
        std::unique_ptr<Subscriber> sub;
        bench::Clock::time_point back;
        const double mqttMb = peakMbOf(
            {QStringLiteral("--from"), week, QStringLiteral("--mqtt"), broker.url(qPrintable(prefix)),
             QStringLiteral("--mqtt-wait"), QStringLiteral("600")},
            [&](double seconds) {
                // Away while the whole week is read; then back.
                if (!sub && seconds > 20 && broker.start()) {
                    back = bench::Clock::now();
                    sub = std::make_unique<Subscriber>(broker.port, (prefix + QStringLiteral("/reading")).toStdString());
                }
            });
        const double drainS = sub ? bench::secondsSince(back) : -1;
        QThread::msleep(500); // the last acknowledgements' messages on their way
        const std::vector<int> order = sub ? sub->order() : std::vector<int>{};
        bool inOrder = !order.empty() && order[0] == 0;
        int distinct = order.empty() ? 0 : 1;
        for (std::size_t i = 1; i < order.size(); ++i) {
            inOrder = inOrder && order[i] >= order[i - 1] && order[i] <= order[i - 1] + 1;
            distinct += order[i] != order[i - 1];
        }
        if (mqttMb < 0)
            state.SkipWithError("breezon-record --from --mqtt failed");
        state.SetIterationTime(std::max(drainS, 0.0));
        state.counters["peak_MB"] = mqttMb;
        state.counters["plain_peak_MB"] = plainMb;
        state.counters["drain_s"] = drainS;
        state.counters["rows"] = kWeekRows;
        state.counters["in_order_rows"] = inOrder ? distinct : 0;
    }
}
BENCHMARK(awayForAWeek)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
