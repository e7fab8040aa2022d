// SPDX-License-Identifier: GPL-3.0-or-later
#include "Cwave.h"

#include "BmpFile.h"
#include "Clist.h"
#include "ControlIds.h"
#include "Frame.h"
#include "Dialogs.h"
#include "DisplayText.h"
#include "Fonts.h"
#include "GraphMath.h"
#include "PortBox.h"
#include "SampleStore.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QThread>

#include <algorithm>

namespace {

const QColor kPanelColour(64, 128, 128);
const QColor kPanelText(255, 0, 0);
constexpr int kDroppedItems = 30;

QRect rectOf(int left, int top, int right, int bottom) { return {left, top, right - left, bottom - top}; }

// Text placed by its top-left corner, as the panel's positions are given,
// on the baseline `ascent` below it (the layout face's, of the font drawn).
void drawTextAt(QPainter &p, int ascent, int x, int y, const QString &text)
{
    p.drawText(QPoint(x, y + ascent), text);
}

} // namespace

Cwave::Cwave(SampleStore &store, QWidget *parent)
    : QWidget(parent), store_(store), session_(store),
      // A live row moves the pages on and shows the reading; rows read back
      // from a recording do so once, at the end.
      viewSink_(QStringLiteral("graph"),
                [this](const RowRecord &, bool inBulk) {
                    if (!inBulk) {
                        updatePages();
                        showLatestReading();
                    }
                },
                {}, [this] { showLoadedRecording(); })
{
    // The graph and the panel cover every pixel on each paint, so there is
    // never a background to erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    connect(&session_, &Session::note, this, &Cwave::statusText);
    session_.addSink(&viewSink_);
}

Cwave::~Cwave() = default;

void Cwave::setList(Clist *list)
{
    list_ = list;
    session_.addSink(std::make_unique<FunctionSink>(
        QStringLiteral("list"),
        [list](const RowRecord &row, bool) { list->addRow(row.reading, row.time, row.seq); },
        [list] { list->beginAppending(); }, [list] { list->endAppending(); }));
}

QPushButton *Cwave::makeButton(int id, const QString &caption, int left, int top, int right, int bottom)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(controlName(id));
    b->setGeometry(rectOf(left, top, right, bottom));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, id] { onCommand(id); });
    b->show();
    return b;
}

QLineEdit *Cwave::makeBox(int id, const QString &text, int left, int top, int right, int bottom)
{
    auto *e = new QLineEdit(text, this);
    e->setObjectName(controlName(id));
    e->setGeometry(rectOf(left, top, right, bottom));
    e->setReadOnly(true);
    e->setFrame(false);
    // Read-only boxes wear the dialog colour, not the white of an input.
    QPalette palette = e->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    e->setPalette(palette);
    // A text set into the box shows from its first character; one too long
    // for the box is cut at its end. (A line edit scrolls to its cursor,
    // which a new text leaves at the end.)
    connect(e, &QLineEdit::textChanged, e, [e] { e->setCursorPosition(0); });
    e->show();
    return e;
}

QComboBox *Cwave::makeCombo(QComboBox *c, int id, int left, int top, int right, int bottom)
{
    c->setObjectName(controlName(id));
    // The rectangle includes the dropped list; the closed box takes its
    // natural height within it.
    const QRect r = rectOf(left, top, right, bottom);
    c->setGeometry(r.left(), r.top(), r.width(), std::min(r.height(), c->sizeHint().height()));
    // A scrolled list below the box, not a menu over it that outgrows the
    // screen with the 61 periods.
    c->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    c->setMaxVisibleItems(kDroppedItems);
    c->show();
    return c;
}

void Cwave::initialUpdate(QSize client, const QList<PortEntry> &ports)
{
    width_ = client.width();
    height_ = client.height();
    const int B = height_ / 3;

    backBuffer = QImage(width_, height_, QImage::Format_RGB32);
    if (backBuffer.isNull())
        showError(this, QStringLiteral("CreateCompatibleBitmap"));

    unitLabelTop = 20;
    controlTop = 25;

    style_ = makeGraphStyle();
    valueFont = makeFont(QStringLiteral("Arial"), 25, 10);
    panelFont = makeFont(QStringLiteral("SimSun"), 25, 10);

    startButton_ = makeButton(control_id::startStop, QStringLiteral("START"), 0, B - 30, 60, B);
    firstButton_ = makeButton(control_id::firstPage, QStringLiteral("||<<"), 60, B - 30, 120, B);
    previousButton_ = makeButton(control_id::previousPage, QStringLiteral("<<<"), 120, B - 30, 180, B);
    nextButton_ = makeButton(control_id::nextPage, QStringLiteral(">>>"), 180, B - 30, 240, B);
    lastButton_ = makeButton(control_id::lastPage, QStringLiteral(">>||"), 240, B - 30, 300, B);
    resetButton_ = makeButton(control_id::reset, QStringLiteral("RESET"), 300, B - 30, 360, B);

    valueBox_ = makeBox(control_id::valueBox, QStringLiteral("0.00"), 0, controlTop, 120, controlTop + 30);
    temperatureBox_ = makeBox(control_id::temperatureBox, QStringLiteral("0.0"), 0, controlTop + 70, 50, controlTop + 100);
    humidityBox_ = makeBox(control_id::humidityBox, QStringLiteral("0.0"), 80, controlTop + 70, 130, controlTop + 100);
    holdBox_ = makeBox(control_id::holdBox, QString(), 200, controlTop + 70, 270, controlTop + 100);

    periodBox_ = makeCombo(new QComboBox(this), control_id::periodBox, 300, 95, 380, 125);
    periodBox_->insertItem(0, QStringLiteral("0.5s"));
    for (int i = 1; i <= 60; ++i)
        periodBox_->insertItem(i, QString::asprintf("%ds", i));
    periodBox_->setCurrentIndex(0);

    auto *portBox = new PortBox(this);
    portBox_ = makeCombo(portBox, control_id::portBox, 350, 25, 430, 65);
    for (const PortEntry &port : ports)
        portBox->addPort(port.name, port.path);
    portBox_->setCurrentIndex(ports.isEmpty() ? -1 : 0);

    for (QLineEdit *box : {valueBox_, temperatureBox_, humidityBox_})
        box->setFont(valueFont);
}

int Cwave::periodMs() const
{
    const int index = periodBox_ ? periodBox_->currentIndex() : 0;
    return index <= 0 ? 500 : index * 1000;
}

void Cwave::onCommand(int id)
{
    switch (id) {
    case control_id::startStop: startStop(); break;
    case control_id::firstPage: firstPage(); break;
    case control_id::previousPage: previousPage(); break;
    case control_id::nextPage: nextPage(); break;
    case control_id::lastPage: lastPage(); break;
    case control_id::reset: resetRecording(); break;
    case control_id::noop1:
    case control_id::noop2:
    default: break;
    }
}

bool Cwave::openPort()
{
    if (portBox_->count() == 0) {
        showError(this, QStringLiteral("no port!"));
        return false;
    }
    if (portBox_->currentIndex() < 0) {
        showError(this, QStringLiteral("please select port!"));
        return false;
    }
    const QString path = portBox_->currentData().toString();
    QString why;
    switch (session_.start(path, periodMs(), &why, pausedWhileWaiting_)) {
    case Acquisition::StartResult::Started:
        return true;
    case Acquisition::StartResult::OpenFailed:
        emit statusText(QStringLiteral("Cannot open %1: %2").arg(portBox_->currentText(), why));
        showError(this, QStringLiteral("open port error"));
        return false;
    case Acquisition::StartResult::ThreadFailed:
        showError(this, QStringLiteral("open thread error,try again"));
        return false;
    }
    return false;
}

void Cwave::setPageButtonsEnabled(bool enabled)
{
    for (QPushButton *b : {firstButton_, previousButton_, lastButton_, nextButton_})
        b->setEnabled(enabled);
}

void Cwave::startStop()
{
    if (!session_.isRunning()) {
        if (!openPort())
            return;
        // Give the reader a moment on the line before the controls change.
        QThread::msleep(100);
        startButton_->setText(QStringLiteral("STOP"));
        portBox_->setEnabled(false);
        setPageButtonsEnabled(false);
    } else {
        session_.stop();
        startButton_->setText(QStringLiteral("START"));
        portBox_->setEnabled(true);
        setPageButtonsEnabled(true);
    }
}

void Cwave::updatePages() { pages_ = pagesAfterSample(pages_, store_.length()); }

void Cwave::showLatestReading()
{
    latest_ = decodeFrame(store_.newest());
    setBoxText(humidityBox_, humidityBoxText(latest_.humidity));
    setBoxText(temperatureBox_, temperatureBoxText(latest_.temperature, latest_.fahrenheit));
    update();
}

void Cwave::turnPage(PageState (*turn)(PageState))
{
    // Without a page there is nothing to turn to, and nothing to repaint.
    if (pages_.pageCount == 0)
        return;
    pages_ = turn(pages_);
    update();
}

void Cwave::firstPage() { turnPage(firstPageOf); }
void Cwave::previousPage() { turnPage(previousPageOf); }
void Cwave::nextPage() { turnPage(nextPageOf); }
void Cwave::lastPage() { turnPage(lastPageOf); }

void Cwave::resetRecording()
{
    session_.reset();
    latest_ = Reading{};
    pages_ = PageState{};
    resumeAfterExport = 0;
    update();
    setBoxText(valueBox_, QStringLiteral("0.0"));
    setBoxText(humidityBox_, QStringLiteral("0.0"));
    setBoxText(temperatureBox_, QStringLiteral("0.0"));
    setBoxText(holdBox_, QString());
    if (list_)
        list_->deleteAll();
    emit recordingReset();
}

void Cwave::showLoadedRecording()
{
    if (store_.length() == 0)
        return; // nothing loaded: as after RESET
    pages_ = lastPageOf(pagesAfterSample(PageState{}, store_.length()));
    showLatestReading();
}

void Cwave::setBoxText(QLineEdit *box, const QString &text)
{
    // Boxes are rewritten on every paint; leave an unchanged box alone so
    // it does not repaint for nothing.
    if (box && box->text() != text)
        box->setText(text);
}

void Cwave::composeGraph()
{
    if (!backBuffer.isNull())
        drawGraph(backBuffer, store_, pages_, latest_, style_);
}

void Cwave::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const int B = height_ / 3;
    // A box of the readout panel that changed its text repaints only its
    // own rectangle, above the graph: the graph need not be drawn for it.
    if (event->region().intersects(QRect(0, B, width_, height_ - B)))
        composeGraph();
    if (!backBuffer.isNull())
        painter.drawImage(QPoint(0, B), backBuffer, QRect(0, 0, width_, height_ - B));
    drawReadoutPanel(painter);
}

void Cwave::drawReadoutPanel(QPainter &p)
{
    const int B = height_ / 3;
    p.fillRect(QRect(0, 0, width_, B), kPanelColour);
    p.setFont(panelFont);
    const int ascent = layoutAscent(panelFont);
    p.setPen(kPanelText);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(kPanelColour);

    if (latest_.mode == Quantity::speed || latest_.mode == Quantity::flow) {
        drawTextAt(p, ascent, 0, 0,
                   latest_.mode == Quantity::speed ? QStringLiteral("Wind Value") : QStringLiteral("Wind Flow"));
        drawTextAt(p, ascent, 120, unitLabelTop, unitName(latest_.mode, latest_.unit));
        setBoxText(valueBox_, valueText(latest_.mode, latest_.unit, latest_.value));
    }
    setBoxText(holdBox_, holdText(latest_.hold));

    drawTextAt(p, ascent, 0, 70, QStringLiteral("Temp"));
    drawTextAt(p, ascent, 50, unitLabelTop + 70, temperatureUnitSign(latest_.fahrenheit));
    drawTextAt(p, ascent, 80, 70, QStringLiteral("Hum"));
    drawTextAt(p, ascent, 130, 90, QStringLiteral("%RH"));
    drawTextAt(p, ascent, 200, 70, QStringLiteral("Mode"));
    drawTextAt(p, ascent, 300, 70, QStringLiteral("Per"));
    drawTextAt(p, ascent, 350, 0, QStringLiteral("COM"));
}

QImage Cwave::graphImage()
{
    composeGraph();
    if (backBuffer.isNull())
        return {};
    return backBuffer.copy(0, 0, width_, (2 * height_) / 3 - 10);
}

void Cwave::pauseForExport()
{
    if (session_.isRunning()) {
        pausedWhileWaiting_ = session_.acquisition().waitingForPort();
        startStop();
        resumeAfterExport = 1;
    }
    startButton_->setEnabled(false);
    resetButton_->setEnabled(false);
}

void Cwave::resumeFromExport()
{
    if (resumeAfterExport) {
        resumeAfterExport = 0;
        startStop();
        pausedWhileWaiting_ = false;
    }
    startButton_->setEnabled(true);
    resetButton_->setEnabled(true);
}

void Cwave::exportGraph()
{
    ExportPause pause(*this);
    // The screen is painted afresh from the store (STOP may have stored a
    // frame since the last paint), so the file is what it shows.
    repaint();
    const QImage image = graphImage();
    QString path = dialogs().savePath(this, QStringLiteral("*.bmp (*.bmp)"), true);
    if (!path.isEmpty()) {
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".bmp");
        const ExportResult result =
            image.isNull() ? ExportResult::failure(QStringLiteral("there is no graph image to save"))
                           : writeWholeFile(path, bmpFile(image.constBits(), image.width(), image.height(),
                                                          image.bytesPerLine()));
        if (!result.ok) {
            const QString text = QStringLiteral("The graph was not saved to %1: %2").arg(path, result.error);
            emit statusText(text);
            showError(this, text);
        }
    }
}
