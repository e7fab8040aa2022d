// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The graph pane: the readout panel with its boxes and buttons in the top
// third, the graph of the recording below, and the user's face of
// acquisition (START/STOP, the per-sample hand-off, RESET, paging).

#include "FunctionSink.h"
#include "GraphPainter.h"
#include "PortDiscovery.h"
#include "Reading.h"
#include "Session.h"

#include <QFont>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <memory>

class Clist;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTimer;
class SampleStore;

class Cwave : public QWidget {
    Q_OBJECT
public:
    Cwave(SampleStore &store, QWidget *parent = nullptr);
    ~Cwave() override;

    // The one-time build, laid out in absolute pixels from `client` (W × H).
    void initialUpdate(QSize client, const QList<PortEntry> &ports);
    // The reading list that receives a row per sample.
    void setList(Clist *list);

    // Runs the handler of a control's command (1001 … 1016).
    void onCommand(int id);

    void startStop();
    // The per-sample hand-off: the newest stored frame becomes a row of the
    // session, which the list, this view and the journal take.
    void onSampleTimer() { session_.handOver(); }
    void updatePages();
    void showLatestReading();
    void resetRecording();
    // After the store and the list were filled with a recording's rows: the
    // view stands as if that run had just stopped, on its newest page.
    void showLoadedRecording();
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void exportGraph();

    // Export pause: stop a running acquisition (remembered in
    // resumeAfterExport) and disable START/STOP and RESET; and the way back.
    void pauseForExport();
    void resumeFromExport();

    bool isRunning() const { return session_.isRunning(); }
    const Reading &latest() const { return latest_; }
    const PageState &pages() const { return pages_; }
    Session &session() { return session_; }
    Acquisition &acquisition() { return session_.acquisition(); }
    QSize clientSize() const { return {width_, height_}; }
    // The period chosen in the period box, in milliseconds.
    int periodMs() const;

    // The graph composed afresh, and the export's part of it:
    // W × ((2H)/3 − 10) pixels from the top of the graph area.
    QImage graphImage();

    std::uint32_t resumeAfterExport = 0;

signals:
    // A text for the first pane of the main window's status bar.
    void statusText(const QString &text);
    // RESET emptied the recording.
    void recordingReset();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool openPort();
    void turnPage(PageState (*turn)(PageState));
    void composeGraph();
    void drawReadoutPanel(class QPainter &painter);
    void setPageButtonsEnabled(bool enabled);
    void setBoxText(QLineEdit *box, const QString &text);
    QPushButton *makeButton(int id, const QString &caption, int left, int top, int right, int bottom);
    QLineEdit *makeBox(int id, const QString &text, int left, int top, int right, int bottom);
    QComboBox *makeCombo(QComboBox *box, int id, int left, int top, int right, int bottom);

    SampleStore &store_;
    Clist *list_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    QImage backBuffer;
    QFont valueFont, panelFont; // the graph's fonts and pens are in style_
    std::int16_t unitLabelTop = 0;
    std::int16_t controlTop = 0;
    QPushButton *startButton_ = nullptr, *firstButton_ = nullptr, *previousButton_ = nullptr, *lastButton_ = nullptr,
                *nextButton_ = nullptr, *resetButton_ = nullptr;
    QLineEdit *valueBox_ = nullptr, *temperatureBox_ = nullptr, *humidityBox_ = nullptr, *holdBox_ = nullptr;
    QComboBox *periodBox_ = nullptr;
    QComboBox *portBox_ = nullptr;
    Session session_;
    FunctionSink viewSink_;
    Reading latest_;
    GraphStyle style_;
    PageState pages_;
    // The export paused a run that was waiting for its unplugged adapter:
    // it goes back to waiting, not to "open port error".
    bool pausedWhileWaiting_ = false;
};

// Holds an export's pause for its whole run: whatever way the export ends,
// the buttons come back and a paused acquisition runs again.
class ExportPause {
public:
    explicit ExportPause(Cwave &view) : view_(view) { view_.pauseForExport(); }
    ~ExportPause() { view_.resumeFromExport(); }
    ExportPause(const ExportPause &) = delete;
    ExportPause &operator=(const ExportPause &) = delete;

private:
    Cwave &view_;
};
