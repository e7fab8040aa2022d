// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExcelLink.h"
#include "ExportTestSupport.h"
#include "ZipCheck.h"

using namespace export_test;

namespace {

// What became of the application when its link ended.
struct Ending {
    bool destroyed = false;
    bool hadQuit = false;
    int workbooksLeft = -1;
};

class TrackedApplication : public sheet::Application {
public:
    explicit TrackedApplication(Ending *ending) : ending_(ending) {}
    ~TrackedApplication() override
    {
        ending_->destroyed = true;
        ending_->hadQuit = hasQuit();
        ending_->workbooksLeft = workbooks().count();
    }

private:
    Ending *ending_;
};

class Link : public ::testing::Test {
protected:
    QStringList messages;
    Ending ending;
    ExcelLink::MessageFn record = [this](const QString &text) { messages << text; };

    void SetUp() override
    {
        sheet::Application::setStarterForTesting([this] { return std::make_unique<TrackedApplication>(&ending); });
    }
    void TearDown() override { sheet::Application::setStarterForTesting({}); }
};

TEST_F(Link, InitFailureShowsTheMessageAndLeavesACallableLink)
{
    sheet::Application::setStarterForTesting([] { return std::unique_ptr<sheet::Application>(); });
    {
        ExcelLink link(record);
        EXPECT_FALSE(link.init());
        EXPECT_EQ(messages, QStringList{"EXCEL init error!"});
        EXPECT_EQ(link.application(), nullptr);
        // Calls on the objects it does not hold do nothing.
        EXPECT_NO_THROW(link.addSheet("KQ-VANE"));
        EXPECT_NO_THROW(link.selectRange("A2", "A9"));
        EXPECT_NO_THROW(link.setNumberFormat("@"));
        EXPECT_NO_THROW(link.autoFitColumns());
        EXPECT_NO_THROW(link.saveWorkbook("/tmp/never-written.xls"));
        EXPECT_TRUE(link.savedName().isEmpty());
    }
    EXPECT_FALSE(QFile::exists("/tmp/never-written.xls"));
}

TEST_F(Link, AddedSheetComesFirstAndTheGridIsTheRange)
{
    ExcelLink link(record);
    ASSERT_TRUE(link.init());
    link.addSheet("KQ-VANE");
    sheet::Sheets &sheets = link.workbook()->worksheets();
    ASSERT_EQ(sheets.count(), 2);
    EXPECT_EQ(sheets.item(1).name(), "KQ-VANE");
    EXPECT_EQ(sheets.item(2).name(), "Sheet1");
    EXPECT_EQ(link.range().entireRow().count(), 1048576);
    EXPECT_TRUE(link.SetItem(8, " ", 1));
    EXPECT_TRUE(link.SetItem(1, "No.", 1));
    EXPECT_EQ(link.worksheet()->text(1, 8), " ");
    EXPECT_EQ(link.worksheet()->text(1, 1), "No.");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Link, SetItemStaysInsideTheRange)
{
    ExcelLink link(record);
    ASSERT_TRUE(link.init());
    link.addSheet("KQ-VANE");
    link.selectRange("A2", "A9");
    EXPECT_TRUE(link.SetItem(1, "last", 8));
    EXPECT_EQ(link.worksheet()->text(9, 1), "last");

    EXPECT_FALSE(link.SetItem(1, "below", 9));
    EXPECT_FALSE(link.SetItem(2, "beside", 1));
    EXPECT_FALSE(link.SetItem(1, "above", 0));
    EXPECT_FALSE(link.SetItem(0, "left", 1));
    EXPECT_EQ(messages, QStringList(4, "SetItem error"));
    EXPECT_TRUE(link.worksheet()->text(10, 1).isEmpty());
    EXPECT_TRUE(link.worksheet()->text(2, 2).isEmpty());
    EXPECT_TRUE(link.worksheet()->text(1, 1).isEmpty());
}

TEST_F(Link, EndsTheApplicationWhenDestroyed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.xls");
    ASSERT_TRUE(writeFile(path, "an older file"));
    {
        ExcelLink link(record);
        ASSERT_TRUE(link.init());
        link.addSheet("KQ-VANE");
        link.setNumberFormat("@");
        link.SetItem(1, "No.", 1);
        link.autoFitColumns();
        link.saveWorkbook(path);
        EXPECT_EQ(link.savedName(), path);
        EXPECT_FALSE(ending.destroyed);
    }
    EXPECT_TRUE(ending.destroyed);
    EXPECT_TRUE(ending.hadQuit);
    EXPECT_EQ(ending.workbooksLeft, 0);
    EXPECT_TRUE(checkZipPackage(path).ok()); // the older file was replaced
    EXPECT_EQ(filesIn(dir.path()), QStringList{"out.xls"});
}

TEST_F(Link, EndsTheApplicationWhileAnErrorUnwinds)
{
    bool caught = false;
    try {
        ExcelLink link(record);
        ASSERT_TRUE(link.init());
        link.addSheet("KQ-VANE");
        link.selectRange("A2", "A1048577"); // beyond the grid: the call fails
    } catch (const sheet::Error &e) {
        caught = true;
        EXPECT_TRUE(ending.destroyed); // already, before the handler runs
        EXPECT_TRUE(e.message().contains("A1048577"));
    }
    EXPECT_TRUE(caught);
    EXPECT_TRUE(ending.hadQuit);
    EXPECT_EQ(ending.workbooksLeft, 0);
}

} // namespace
