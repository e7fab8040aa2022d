// SPDX-License-Identifier: GPL-3.0-or-later
// The graph view as a window: controls, the readout panel, the commands that
// do not need an instrument, and START's failures.
#include "Clist.h"
#include "ControlIds.h"
#include "Cwave.h"
#include "PortBox.h"
#include "SampleStore.h"
#include "ScriptedDialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTemporaryDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

SampleFrame frameOf(std::uint8_t statusA, std::uint8_t statusB, std::uint16_t humidity, std::int16_t temperature,
                    std::uint16_t reading)
{
    SampleFrame f;
    f.bytes[0] = SampleFrame::kSync1;
    f.bytes[1] = SampleFrame::kSync2;
    f.bytes[frame_field::statusA] = statusA;
    f.bytes[frame_field::statusB] = statusB;
    f.setU16(frame_field::humidity, humidity);
    f.setU16(frame_field::temperature, static_cast<std::uint16_t>(temperature)); // as stored
    f.setU16(frame_field::reading, reading);
    return f;
}

struct WaveFixture : ::testing::Test {
    ScriptedDialogs dialogs;
    SampleStore store;
    std::unique_ptr<Cwave> wave;
    std::unique_ptr<Clist> list;

    void build(QList<PortEntry> ports = {{QStringLiteral("ttyS0"), QStringLiteral("/nonexistent/ttyS0")}},
               QSize client = {465, 480})
    {
        wave = std::make_unique<Cwave>(store);
        wave->resize(client);
        wave->initialUpdate(client, ports);
        list = std::make_unique<Clist>();
        list->initialUpdate({449, 480});
        wave->setList(list.get());
    }

    template <class T> T *child(int id) { return wave->findChild<T *>(controlName(id)); }
    QString box(int id) { return child<QLineEdit>(id)->text(); }

    QImage render()
    {
        QImage image(wave->size(), QImage::Format_RGB32);
        image.fill(Qt::magenta);
        wave->render(&image);
        return image;
    }

    // A stored frame handed over as the clock would.
    void sample(const SampleFrame &f)
    {
        store.append(f);
        wave->onSampleTimer();
    }
};

TEST_F(WaveFixture, ControlsSitWhereTheClientHeightPutsThem)
{
    build();
    struct Expected {
        int id;
        const char *caption;
        QRect rect;
    };
    // H = 480: the button row spans y 130 to 160.
    const Expected buttons[] = {
        {control_id::startStop, "START", {0, 130, 60, 30}},  {control_id::firstPage, "||<<", {60, 130, 60, 30}},
        {control_id::previousPage, "<<<", {120, 130, 60, 30}}, {control_id::nextPage, ">>>", {180, 130, 60, 30}},
        {control_id::lastPage, ">>||", {240, 130, 60, 30}},  {control_id::reset, "RESET", {300, 130, 60, 30}},
    };
    for (const auto &b : buttons) {
        auto *button = child<QPushButton>(b.id);
        ASSERT_NE(button, nullptr) << b.id;
        EXPECT_EQ(button->text(), QString::fromLatin1(b.caption));
        EXPECT_EQ(button->geometry(), b.rect) << b.id;
    }
    const Expected boxes[] = {
        {control_id::valueBox, "0.00", {0, 25, 120, 30}},
        {control_id::temperatureBox, "0.0", {0, 95, 50, 30}},
        {control_id::humidityBox, "0.0", {80, 95, 50, 30}},
        {control_id::holdBox, "", {200, 95, 70, 30}},
    };
    for (const auto &b : boxes) {
        auto *edit = child<QLineEdit>(b.id);
        ASSERT_NE(edit, nullptr) << b.id;
        EXPECT_EQ(edit->text(), QString::fromLatin1(b.caption));
        EXPECT_EQ(edit->geometry(), b.rect) << b.id;
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_FALSE(edit->hasFrame());
    }
    // Read-only boxes wear the dialog colour (seen where no text is).
    const QImage image = render();
    for (const auto &b : boxes)
        EXPECT_EQ(image.pixelColor(b.rect.right() - 2, b.rect.bottom() - 1),
                  QApplication::palette().color(QPalette::Window)) << b.id;
    auto *period = child<QComboBox>(control_id::periodBox);
    auto *port = child<QComboBox>(control_id::portBox);
    ASSERT_TRUE(period && port);
    EXPECT_EQ(period->geometry().topLeft(), QPoint(300, 95));
    EXPECT_EQ(period->width(), 80);
    EXPECT_LE(period->height(), 30);
    EXPECT_EQ(port->geometry().topLeft(), QPoint(350, 25));
    EXPECT_EQ(port->width(), 80);
    EXPECT_TRUE(wave->testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST_F(WaveFixture, ButtonRowFollowsAnotherClientHeight)
{
    build({}, {400, 300});
    EXPECT_EQ(child<QPushButton>(control_id::reset)->geometry(), QRect(300, 70, 60, 30));
}

TEST_F(WaveFixture, PeriodBoxHoldsSixtyOneItemsInOrder)
{
    build();
    auto *period = child<QComboBox>(control_id::periodBox);
    ASSERT_EQ(period->count(), 61);
    EXPECT_EQ(period->currentIndex(), 0);
    EXPECT_EQ(period->itemText(0), QStringLiteral("0.5s"));
    EXPECT_EQ(period->itemText(1), QStringLiteral("1s"));
    EXPECT_EQ(period->itemText(10), QStringLiteral("10s"));
    EXPECT_EQ(period->itemText(60), QStringLiteral("60s"));
    EXPECT_EQ(wave->periodMs(), 500);
    period->setCurrentIndex(1);
    EXPECT_EQ(wave->periodMs(), 1000);
    period->setCurrentIndex(60);
    EXPECT_EQ(wave->periodMs(), 60000);
}

// Both drop-downs open as a list below the box, scrolled beyond 30 items;
// the port list is as wide as its longest entry, and tells each one's path.
TEST_F(WaveFixture, DropDownsOpenAsAScrolledListBelowTheBox)
{
    const QString byId = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    build({{byId, byId}, {"ttyS0", "/dev/ttyS0"}});
    wave->show();
    auto *port = child<QComboBox>(control_id::portBox);
    EXPECT_EQ(port->itemData(0, Qt::ToolTipRole).toString(), byId);
    EXPECT_EQ(port->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(port->toolTip(), byId);
    port->showPopup();
    EXPECT_GE(port->view()->viewport()->width(), port->view()->fontMetrics().horizontalAdvance(byId));
    port->hidePopup();
    for (int id : {control_id::periodBox, control_id::portBox}) {
        auto *box = child<QComboBox>(id);
        box->showPopup();
        QAbstractItemView *view = box->view();
        ASSERT_TRUE(view->isVisible()) << id;
        EXPECT_GE(view->mapToGlobal(QPoint(0, 0)).y(), box->mapToGlobal(QPoint(0, box->height())).y()) << id;
        const int rows = view->viewport()->height() / view->sizeHintForRow(0);
        EXPECT_EQ(rows, std::min(box->count(), 30)) << id;
        box->hidePopup();
    }
}

TEST_F(WaveFixture, PortBoxKeepsTheGivenOrderAndSelectsTheFirst)
{
    build({{"ttyUSB1", "/dev/ttyUSB1"}, {"ttyACM0", "/dev/ttyACM0"}, {"ttyS0", "/dev/ttyS0"}});
    auto *port = child<QComboBox>(control_id::portBox);
    ASSERT_EQ(port->count(), 3);
    EXPECT_EQ(port->itemText(0), QStringLiteral("ttyUSB1"));
    EXPECT_EQ(port->itemText(1), QStringLiteral("ttyACM0"));
    EXPECT_EQ(port->itemText(2), QStringLiteral("ttyS0"));
    EXPECT_EQ(port->itemData(1).toString(), QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(port->currentIndex(), 0);
}

TEST_F(WaveFixture, StartFailuresSayWhyAndLeaveTheViewIdle)
{
    build({});
    EXPECT_EQ(child<QComboBox>(control_id::portBox)->currentIndex(), -1);
    wave->startStop();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("error"));
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("no port!"));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::None);

    build();
    child<QComboBox>(control_id::portBox)->setCurrentIndex(-1);
    wave->startStop();
    EXPECT_EQ(dialogs.messages.back().text, QStringLiteral("please select port!"));

    child<QComboBox>(control_id::portBox)->setCurrentIndex(0);
    QSignalSpy status(wave.get(), &Cwave::statusText);
    wave->startStop();
    EXPECT_EQ(dialogs.messages.back().text, QStringLiteral("open port error"));
    ASSERT_EQ(status.count(), 1);
    EXPECT_TRUE(status[0][0].toString().contains(QStringLiteral("ttyS0"))) << status[0][0].toString().toStdString();
    EXPECT_EQ(child<QPushButton>(control_id::startStop)->text(), QStringLiteral("START"));
    EXPECT_TRUE(child<QComboBox>(control_id::portBox)->isEnabled());
    EXPECT_TRUE(child<QPushButton>(control_id::firstPage)->isEnabled());
    EXPECT_FALSE(wave->isRunning());
}

// A text too long for its box shows from its first character, cut at its
// end: the pixels where the first character goes are those of that
// character alone.
TEST_F(WaveFixture, ATextTooLongForItsBoxShowsItsFirstCharacter)
{
    build();
    const struct {
        int id;
        const char *text;
    } cases[] = {{control_id::valueBox, "-12345678.90"},
                 {control_id::temperatureBox, "-12.5"},
                 {control_id::humidityBox, "100.0"},
                 {control_id::holdBox, "Current value"}};
    for (const auto &c : cases) {
        auto *box = child<QLineEdit>(c.id);
        const QString text = QString::fromLatin1(c.text);
        ASSERT_GT(box->fontMetrics().horizontalAdvance(text), box->width()) << c.text;
        box->setText(text.left(1));
        const QImage alone = box->grab().toImage();
        box->setText(text);
        const QImage shown = box->grab().toImage();
        // The line edit's text margin, then the character (less the pixel
        // that the next one may share).
        const int upto = 2 + box->fontMetrics().horizontalAdvance(text.left(1)) - 1;
        EXPECT_EQ(shown.copy(0, 0, upto, shown.height()), alone.copy(0, 0, upto, alone.height())) << c.text;
    }
}

TEST_F(WaveFixture, BackBufferThatCannotBeMadeIsReported)
{
    // Far too large for an image: the view says so and carries on.
    build({}, {200000, 200000});
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("CreateCompatibleBitmap"));
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("error"));
    EXPECT_TRUE(wave->graphImage().isNull());
}

TEST_F(WaveFixture, IdleCommandsChangeNothing)
{
    build();
    const QImage before = render();
    wave->onCommand(control_id::noop1);
    wave->onCommand(control_id::noop2);
    EXPECT_EQ(render(), before);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(WaveFixture, PanelBeforeTheFirstSample)
{
    build();
    const QImage image = render();
    EXPECT_EQ(box(control_id::valueBox), QStringLiteral("0.00"));
    EXPECT_EQ(box(control_id::holdBox), QStringLiteral("Current"));
    // The panel band in its colour, the graph area black below it.
    EXPECT_EQ(image.pixelColor(450, 10), QColor(64, 128, 128));
    EXPECT_EQ(image.pixelColor(450, 159), QColor(64, 128, 128));
    EXPECT_EQ(image.pixelColor(450, 161 + 100), QColor(0, 0, 0));
    // The red title "Wind Value" at the panel's top-left.
    bool red = false;
    for (int y = 0; y < 20 && !red; ++y)
        for (int x = 0; x < 110 && !red; ++x)
            red = image.pixelColor(x, y) == QColor(255, 0, 0);
    EXPECT_TRUE(red);
    // The captions' descenders stay above the boxes below them: the "p" of
    // "Temp" ends above the temperature box.
    child<QLineEdit>(control_id::temperatureBox)->hide();
    const QImage uncovered = render();
    int lowest = 0;
    for (int y = 70; y < 110; ++y)
        for (int x = 0; x < 50; ++x)
            if (uncovered.pixelColor(x, y).red() > 200 && uncovered.pixelColor(x, y).green() < 100)
                lowest = y;
    EXPECT_GT(lowest, 85);
    EXPECT_LT(lowest, 95);
}

TEST_F(WaveFixture, SampleWritesBoxesAndPanelPerMode)
{
    build();
    // Wind speed in km/h, 1234 counts: 12.34; humidity 45.6 %; 25.5 °C in °F.
    sample(frameOf(0x08, 0x04, 456, 255, 1234));
    EXPECT_EQ(box(control_id::humidityBox), QStringLiteral("45.6"));
    EXPECT_EQ(box(control_id::temperatureBox), QStringLiteral("77.9"));
    render();
    EXPECT_EQ(box(control_id::valueBox), QStringLiteral("12.34"));
    EXPECT_EQ(box(control_id::holdBox), QStringLiteral("Current"));

    // Air flow CMM, held maximum: 123.4.
    sample(frameOf(0x02, 0x01, 456, 255, 1234));
    render();
    EXPECT_EQ(box(control_id::valueBox), QStringLiteral("123.4"));
    EXPECT_EQ(box(control_id::holdBox), QStringLiteral("MAX"));

    // Neither quantity: the value box keeps what it showed.
    sample(frameOf(0x01, 0x02, 456, 255, 999));
    render();
    EXPECT_EQ(box(control_id::valueBox), QStringLiteral("123.4"));
    EXPECT_EQ(box(control_id::holdBox), QStringLiteral("MIN"));

    // A wind unit beyond the table shows no number.
    sample(frameOf(0x00, 0x18, 456, 255, 999));
    render();
    EXPECT_EQ(box(control_id::valueBox), QString());
    EXPECT_EQ(list->itemCount(), 4);
}

// A box whose text changes repaints only its own rectangle, and the graph is
// not drawn for that; what is on screen after each sample must still be the
// view as a fresh paint draws it, with the graph of every sample so far.
TEST_F(WaveFixture, OnScreenViewAfterSamplesIsTheViewPaintedAfresh)
{
    build();
    wave->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wave.get()));
    for (int i = 0; i < 30; ++i) {
        sample(frameOf(i % 3 == 2 ? 0x02 : 0x00, std::uint8_t(i % 2), std::uint16_t(300 + 17 * i),
                       std::int16_t(100 + 11 * i), std::uint16_t(500 + 97 * i)));
        QCoreApplication::processEvents();
        const QImage shown = QGuiApplication::primaryScreen()
                                 ->grabWindow(wave->winId(), 0, 0, wave->width(), wave->height())
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        const int B = wave->height() / 3;
        const QImage graph = wave->graphImage();
        ASSERT_EQ(shown.copy(0, B, graph.width(), graph.height()), graph) << "after sample " << i;
        ASSERT_EQ(shown, wave->grab().toImage().convertToFormat(QImage::Format_RGB32)) << "after sample " << i;
    }
}

TEST_F(WaveFixture, ResetEmptiesEverythingAndThePaintRestoresTheBoxes)
{
    build();
    for (int i = 0; i < 3; ++i)
        sample(frameOf(0x00, 0x00, 500, 200, 100));
    ASSERT_EQ(list->itemCount(), 3);
    ASSERT_EQ(wave->pages().pageCount, 1u);

    wave->onCommand(control_id::reset);
    EXPECT_EQ(store.length(), 0u);
    EXPECT_EQ(list->itemCount(), 0);
    EXPECT_EQ(wave->pages().pageCount, 0u);
    EXPECT_EQ(wave->pages().currentPage, 0u);
    EXPECT_EQ(wave->latest().humidity, 0u);
    EXPECT_EQ(box(control_id::valueBox), QStringLiteral("0.0"));
    EXPECT_EQ(box(control_id::humidityBox), QStringLiteral("0.0"));
    EXPECT_EQ(box(control_id::temperatureBox), QStringLiteral("0.0"));
    EXPECT_EQ(box(control_id::holdBox), QString());

    render();
    EXPECT_EQ(box(control_id::valueBox), QStringLiteral("0.00"));
    EXPECT_EQ(box(control_id::holdBox), QStringLiteral("Current"));
    EXPECT_EQ(box(control_id::humidityBox), QStringLiteral("0.0"));

    // The numbering starts again at 0.
    sample(frameOf(0x00, 0x00, 500, 200, 100));
    EXPECT_EQ(list->cellText(0, 0), QStringLiteral("0"));
}

TEST_F(WaveFixture, PagingFollowsSamplesAndTheButtonsStopAtTheEnds)
{
    build();
    wave->onCommand(control_id::nextPage); // no page yet: nothing happens
    EXPECT_EQ(wave->pages().currentPage, 0u);

    for (int i = 0; i < 700; ++i)
        store.append(frameOf(0, 0, 500, 200, 100));
    sample(frameOf(0, 0, 500, 200, 100));
    EXPECT_EQ(wave->pages().pageCount, 3u);
    // The view was on no page, so it does not jump three pages on.
    EXPECT_EQ(wave->pages().currentPage, 0u);

    wave->onCommand(control_id::lastPage);
    EXPECT_EQ(wave->pages().currentPage, 3u);
    wave->onCommand(control_id::nextPage);
    EXPECT_EQ(wave->pages().currentPage, 3u);
    wave->onCommand(control_id::firstPage);
    EXPECT_EQ(wave->pages().currentPage, 1u);
    wave->onCommand(control_id::previousPage);
    EXPECT_EQ(wave->pages().currentPage, 1u);
    wave->onCommand(control_id::nextPage);
    EXPECT_EQ(wave->pages().currentPage, 2u);
}

TEST_F(WaveFixture, GraphImageIsTheGraphAreaLessItsBottomRows)
{
    build();
    const QImage image = wave->graphImage();
    EXPECT_EQ(image.size(), QSize(465, 310));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    // The plot frame's top-left corner is white.
    EXPECT_EQ(image.pixelColor(40, 30), QColor(255, 255, 255));
}

// The file is the graph as the screen shows it at the export, painted
// afresh from the store: also a frame stored without its row (as STOP can
// leave one) is in both.
TEST_F(WaveFixture, ExportedBmpHoldsTheGraphOnScreenPixelForPixel)
{
    build();
    wave->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wave.get()));
    for (int i = 0; i < 40; ++i)
        sample(frameOf(0x00, 0x00, std::uint16_t(300 + 10 * i), std::int16_t(100 + 5 * i), 100));
    QCoreApplication::processEvents();
    store.append(frameOf(0x00, 0x00, 900, 500, 100));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("graph.bmp"));
    dialogs.paths.push_back(path);
    wave->exportGraph();
    EXPECT_EQ(dialogs.saveDialogs.at(0).filter, QStringLiteral("*.bmp (*.bmp)"));
    EXPECT_TRUE(dialogs.saveDialogs.at(0).overwritePrompt);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bmp = file.readAll();
    ASSERT_EQ(bmp.size(), 576654); // 54 + 465 × 4 × 310
    QCoreApplication::processEvents();
    const QImage graph = QGuiApplication::primaryScreen()
                             ->grabWindow(wave->winId(), 0, wave->height() / 3, 465, 310)
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(graph.size(), QSize(465, 310));
    // Rows are stored bottom-up, 4 bytes a pixel, blue first.
    auto pixel = [&](int x, int y) {
        const qsizetype at = 54 + (qsizetype(309 - y) * 465 + x) * 4;
        return QColor(quint8(bmp[at + 2]), quint8(bmp[at + 1]), quint8(bmp[at]));
    };
    for (const QPoint p : {QPoint(0, 0), QPoint(40, 30), QPoint(41, 200), QPoint(464, 309), QPoint(215, 5)})
        EXPECT_EQ(pixel(p.x(), p.y()), graph.pixelColor(p)) << p.x() << "," << p.y();
    int differing = 0;
    for (int y = 0; y < 310; ++y)
        for (int x = 0; x < 465; ++x)
            differing += pixel(x, y) != graph.pixelColor(x, y);
    EXPECT_EQ(differing, 0);
    EXPECT_TRUE(wave->findChild<QPushButton *>(controlName(control_id::startStop))->isEnabled());
}

// A port name too long for its room keeps its end, where adapters differ,
// and its first folder when there is room for a fair part of the end.
TEST(PortName, TooLongIsShortenedInTheMiddle)
{
    const QFontMetrics metrics(QApplication::font());
    const QString byId = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    const int em = metrics.horizontalAdvance(QLatin1Char('M'));
    const struct {
        QString name;
        int width;
        const char *head; // nullptr: shown whole
    } cases[] = {{QStringLiteral("ttyUSB0"), 10 * em, nullptr},
                 {byId, metrics.horizontalAdvance(byId), nullptr},
                 {byId, 20 * em, "/dev/\u2026"},
                 {byId, 6 * em, "\u2026"}};
    for (const auto &c : cases) {
        const QString shown = elidePortName(c.name, metrics, c.width);
        EXPECT_LE(metrics.horizontalAdvance(shown), c.width) << shown.toStdString();
        if (!c.head) {
            EXPECT_EQ(shown, c.name);
            continue;
        }
        const QString head = QString::fromUtf8(c.head);
        ASSERT_TRUE(shown.startsWith(head)) << shown.toStdString();
        const QString end = shown.mid(head.size());
        EXPECT_TRUE(c.name.endsWith(end)) << shown.toStdString();
        EXPECT_GE(end.size(), 4) << shown.toStdString();
        // Not a character more of the end would fit.
        EXPECT_GT(metrics.horizontalAdvance(head + c.name.right(end.size() + 1)), c.width) << shown.toStdString();
    }
}

} // namespace
