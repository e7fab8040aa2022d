// SPDX-License-Identifier: GPL-3.0-or-later
// The File commands as the user meets them: the dialogs, the names and the
// status texts. (What a failure says: ExportFaultsTest.)
#include "CommandIds.h"
#include "WindowFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Exports : WindowFixture {
    QTemporaryDir dir;

    QString path(const char *name) { return dir.filePath(QString::fromUtf8(name)); }

    void addRows(int n)
    {
        for (int i = 0; i < n; ++i) {
            Reading r;
            r.humidity = 456;
            r.temperature = 235;
            r.value = std::uint32_t(100 + i);
            r.multiplier = 1;
            app->frame().list().addRow(r);
        }
    }

    void run(int command, const QString &answer)
    {
        dialogs.paths.push_back(answer);
        app->onCommand(command);
    }
};

TEST_F(Exports, SaveTextAlwaysAppendsItsExtensionAndReplacesWithoutAsking)
{
    addRows(2);
    run(command_id::saveText, path("data"));
    ASSERT_EQ(dialogs.saveDialogs.size(), 1u);
    EXPECT_EQ(dialogs.saveDialogs[0].filter, QStringLiteral("TXT(*.txt)"));
    EXPECT_FALSE(dialogs.saveDialogs[0].overwritePrompt);
    EXPECT_EQ(QFileInfo(path("data.txt")).size(), 2 * 87 * 2);
    EXPECT_EQ(app->frame().statusText(), QStringLiteral("save txt file successfully"));

    run(command_id::saveText, path("data.txt"));
    EXPECT_TRUE(QFile::exists(path("data.txt.txt")));

    app->frame().list().deleteAll();
    run(command_id::saveText, path("data"));
    EXPECT_EQ(QFileInfo(path("data.txt")).size(), 0); // replaced by the empty list
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Exports, CancelledDialogsWriteNothingAndSayNothing)
{
    addRows(1);
    for (int command : {command_id::saveText, command_id::saveExcel, command_id::exportGraph})
        run(command, QString());
    EXPECT_EQ(app->frame().statusText(), QStringLiteral("Ready"));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(Exports, SaveExcelAppendsItsExtensionAndReportsProgress)
{
    addRows(4);
    run(command_id::saveExcel, path("sheet"));
    EXPECT_EQ(dialogs.saveDialogs.at(0).filter, QStringLiteral("EXCEL(*.xls)"));
    EXPECT_FALSE(dialogs.saveDialogs.at(0).overwritePrompt);
    QFile file(path("sheet.xls"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(2) == "PK");
    EXPECT_EQ(app->frame().statusText(), QStringLiteral("save excel file successfully"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Exports, GraphImageIsTheGraphAreaAsA32BitBmp)
{
    run(command_id::exportGraph, path("graph.bmp"));
    EXPECT_EQ(dialogs.saveDialogs.at(0).filter, QStringLiteral("*.bmp (*.bmp)"));
    EXPECT_TRUE(dialogs.saveDialogs.at(0).overwritePrompt);
    const QSize client = app->frame().wave().clientSize();
    const qint64 rows = (2 * client.height()) / 3 - 10;
    EXPECT_EQ(QFileInfo(path("graph.bmp")).size(), 54 + qint64(client.width()) * 4 * rows);
    // A name with an extension is used as the dialog returned it; one
    // without gets ".bmp".
    EXPECT_FALSE(QFile::exists(path("graph.bmp.bmp")));
    run(command_id::exportGraph, path("plain"));
    run(command_id::exportGraph, path("graph.img"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
              (QStringList{"graph.bmp", "graph.img", "plain.bmp"}));
}

} // namespace
