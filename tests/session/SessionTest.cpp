// SPDX-License-Identifier: GPL-3.0-or-later
// The one road from a frame to its row: numbered by the run's recording,
// given to the spine first, read-back rows kept from the spine, and the
// spine finished last.
#include "Frame.h"
#include "RecordingFileOutput.h"
#include "RecordingFileReader.h"
#include "SampleStore.h"
#include "Session.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Writes down every call it gets, in one log shared with the other sinks.
class LoggingSink : public Output {
public:
    LoggingSink(std::string name, std::vector<std::string> &log, bool failOpen = false)
        : name_(std::move(name)), log_(log), failOpen_(failOpen)
    {
    }
    QString name() const override { return QString::fromStdString(name_); }
    ExportResult open() override
    {
        log_.push_back(name_ + " open");
        return failOpen_ ? ExportResult::failure(QStringLiteral("no room")) : ExportResult::success();
    }
    void add(const RowRecord &row) override { log_.push_back(name_ + " " + std::to_string(row.seq)); }
    ExportResult finish() override
    {
        log_.push_back(name_ + " finish");
        return ExportResult::success();
    }
    void beginBulk() override { log_.push_back(name_ + " bulk"); }
    void endBulk() override { log_.push_back(name_ + " end"); }
    void discard() override { log_.push_back(name_ + " discard"); }

private:
    std::string name_;
    std::vector<std::string> &log_;
    bool failOpen_;
};

SampleFrame frame(std::uint16_t humidity)
{
    FrameFields f;
    f.humidity = humidity;
    f.reading = f.speed = 520;
    return storedFrame(f);
}

TEST(Session, TheSpineTakesEachRowFirstAndIsFinishedLast)
{
    SampleStore store;
    Session session(store);
    std::vector<std::string> log;
    LoggingSink spine("spine", log), list("list", log), broken("broken", log, true);
    session.addSink(&list);
    session.setSpine(&spine);
    session.addSink(&broken);
    EXPECT_EQ(session.openSinks(), QStringList{QStringLiteral("the broken cannot be written: no room")});
    session.discardSinks();

    session.setNextSeq(7); // the recording held rows 0 to 6
    for (std::uint16_t h : {480, 481}) {
        store.append(frame(h));
        session.handOver();
    }
    session.finishSinks();
    const std::vector<std::string> expected = {
        "spine open", "list open", "broken open", "spine discard", "list discard", "broken discard",
        "spine 7",    "list 7",    "broken 7",    "spine 8",       "list 8",       "broken 8",
        "list finish", "broken finish", "spine finish"};
    EXPECT_EQ(log, expected);
}

TEST(Session, RowsReadBackKeepTheirNumbersAndPassTheSpineBy)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.breezon"));
    {
        RecordingFileOutput out(path, OutputContext{}, RecordingFileOutput::Mode::Synchronous);
        ASSERT_TRUE(out.open().ok);
        for (int seq : {0, 1, 2}) {
            RowRecord row;
            row.seq = seq;
            row.frame = frame(std::uint16_t(400 + seq));
            row.reading = decodeFrame(row.frame);
            out.add(row);
        }
        ASSERT_TRUE(out.finish().ok);
    }
    SampleStore store;
    Session session(store);
    std::vector<std::string> log;
    LoggingSink spine("spine", log), list("list", log);
    session.setSpine(&spine);
    session.addSink(&list);
    RecordingFileReader reader;
    ASSERT_TRUE(reader.open(path).ok);
    reader.seek(1);
    EXPECT_EQ(session.replay(reader, 5), 2);
    EXPECT_EQ(log, (std::vector<std::string>{"list bulk", "list 1", "list 2", "list end"}));
    EXPECT_EQ(session.nextSeq(), 3); // a live row after them goes on from there
    EXPECT_EQ(store.sampleCount(), 2u);
    EXPECT_EQ(storedHumidity(store.newest()), 402);
}

} // namespace
