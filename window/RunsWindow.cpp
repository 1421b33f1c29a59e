#include "window/RunsWindow.h"

#include <algorithm>
#include <cmath>

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include "record/ChartUnits.h"
#include "record/ColumnEnvelope.h"
#include "runs/RunCsv.h"
#include "window/RunFigures.h"

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

// Columns: drawn, time, mode, the six parameters, the figures.
constexpr int ParamColumn = 3;
constexpr int FigureColumn = ParamColumn + paramwords::ParamCount;

const QColor Colours[TRunsWindow::MaxOverlaid] = {
    QColor(200, 0, 0),   QColor(0, 90, 200),  QColor(0, 140, 0),    QColor(200, 120, 0),  QColor(130, 0, 160),
    QColor(0, 150, 150), QColor(120, 80, 40), QColor(220, 0, 150),  QColor(90, 90, 90),   QColor(150, 150, 0)};

QStringList Headers() {
    QStringList headers{U("Показать"), U("Начало"), U("Режим")};
    for (int i = 0; i < paramwords::ParamCount; ++i) headers << paramwords::Label(i);
    for (const QString& title : runfigures::Titles()) headers << title;
    return headers;
}

QString TimeText(const runs::TRun& run, bool reference) {
    QString text = run.started.toLocalTime().toString("HH:mm:ss");
    if (!run.name.isEmpty()) text = run.name + U(", ") + text;
    if (run.aborted) text += U(" (прерван)");
    return reference ? U("★ ") + text : text;
}

QPushButton* Button(QWidget* parent, QHBoxLayout* row, const char* text, const std::function<void()>& action) {
    auto* button = new QPushButton(U(text), parent);
    row->addWidget(button);
    QObject::connect(button, &QPushButton::clicked, parent, action);
    return button;
}

QVector<QCPGraphData> RawPoints(const TChartHistory& history, double zero) {
    QVector<QCPGraphData> points;
    for (int i = 0; i < history.Count(); ++i) points << QCPGraphData(history.Key(i) - zero, history.Value(i));
    return points;
}

// The lowest and highest value in each column, at its middle.
QVector<QCPGraphData> ColumnPoints(const TChartHistory& history, const envelope::TColumns& columns, double zero) {
    const auto extremes = envelope::Envelope(history, columns);
    QVector<QCPGraphData> points;
    for (int c = 0; c < columns.count; ++c) {
        if (!extremes[size_t(c)]) continue;
        const double key = (columns.Edge(c) + columns.Edge(c + 1)) / 2 - zero;
        points << QCPGraphData(key, extremes[size_t(c)]->min) << QCPGraphData(key, extremes[size_t(c)]->max);
    }
    return points;
}

}  // namespace

TRunsWindow::TRunsWindow(QWidget* parent, runs::TRunLibrary& library, THooks hooks)
    : QWidget(parent, Qt::Window), FLibrary(library), FHooks(std::move(hooks)) {
    setObjectName("frmRuns");
    setWindowTitle(U("Прогоны"));
    auto* layout = new QVBoxLayout(this);
    FList = new QTableWidget(0, FigureColumn + runfigures::Count, this);
    FList->setObjectName("lstRuns");
    FList->setHorizontalHeaderLabels(Headers());
    FList->verticalHeader()->setVisible(false);
    FList->setSelectionBehavior(QAbstractItemView::SelectRows);
    FList->setSelectionMode(QAbstractItemView::SingleSelection);
    FList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FList->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(FList, 2);
    auto* buttons = new QHBoxLayout;
    FPin = Button(this, buttons, "Сделать опорным", [this] { PinReference(); });
    FParams = Button(this, buttons, "Параметры этого прогона", [this] { LoadParams(); });
    FSave = Button(this, buttons, "Сохранить прогон…", [this] { SaveRun(); });
    Button(this, buttons, "Открыть прогон…", [this] { OpenRun(); });
    buttons->addStretch();
    if (FHooks.autoTune) Button(this, buttons, "Автонастройка…", [this] { FHooks.autoTune(); })->setObjectName("btnAutoTune");
    layout->addLayout(buttons);
    FPlot = new QCustomPlot(this);
    FPlot->setObjectName("pltRuns");
    FPlot->xAxis->setLabel(U("Время от ступеньки (мсек)"));
    FPlot->setMinimumHeight(260);
    layout->addWidget(FPlot, 3);
    connect(FList, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!FFilling && item->column() == 0) SetOverlaid(item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
    });
    connect(FList, &QTableWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
    connect(&FLibrary, &runs::TRunLibrary::Changed, this, [this] { Refill(); });
    FPlot->setPlottingHint(QCP::phFastPolylines, true);
    FPlot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignBottom | Qt::AlignRight);
    resize(1120, 600);
    Refill();
}

void TRunsWindow::Refill() {
    const int selected = Selected();
    std::erase_if(FDrawn, [this](int id) { return !FLibrary.Find(id); });
    FFilling = true;
    const auto& all = FLibrary.Runs();
    const runs::TRun* reference = FLibrary.Find(FLibrary.Reference());
    FList->setRowCount(int(all.size()));
    for (int row = 0; row < int(all.size()); ++row) {
        const runs::TRun& run = *all[size_t(row)];
        auto* drawn = new QTableWidgetItem;
        drawn->setData(Qt::UserRole, run.id);
        drawn->setCheckState(std::count(FDrawn.begin(), FDrawn.end(), run.id) ? Qt::Checked : Qt::Unchecked);
        FList->setItem(row, 0, drawn);
        FList->setItem(row, 1, new QTableWidgetItem(TimeText(run, &run == reference)));
        FList->setItem(row, 2, new QTableWidgetItem(run.servoMode));
        for (int i = 0; i < paramwords::ParamCount; ++i)
            FList->setItem(row, ParamColumn + i,
                           new QTableWidgetItem(run.params ? paramwords::Text(i, (*run.params)[size_t(i)]) : U("?")));
        for (int i = 0; i < runfigures::Count; ++i)
            FList->setItem(row, FigureColumn + i, new QTableWidgetItem(runfigures::Text(run, i, reference)));
    }
    FFilling = false;
    Select(selected);
    UpdateButtons();
    Redraw();
}

std::vector<int> TRunsWindow::Overlaid() const { return FDrawn; }

void TRunsWindow::SetOverlaid(int id, bool drawn) {
    std::erase(FDrawn, id);
    if (drawn && FLibrary.Find(id)) FDrawn.push_back(id);
    // The earliest checked goes when an eleventh is checked.
    if (int(FDrawn.size()) > MaxOverlaid) FDrawn.erase(FDrawn.begin());
    Refill();
}

int TRunsWindow::Selected() const {
    const auto rows = FList->selectionModel()->selectedRows();
    if (rows.isEmpty()) return 0;
    return FList->item(rows.front().row(), 0)->data(Qt::UserRole).toInt();
}

void TRunsWindow::Select(int id) {
    for (int row = 0; row < FList->rowCount(); ++row)
        if (FList->item(row, 0)->data(Qt::UserRole).toInt() == id) FList->selectRow(row);
}

void TRunsWindow::UpdateButtons() {
    const runs::TRun* run = FLibrary.Find(Selected());
    FPin->setEnabled(run);
    FParams->setEnabled(run && run->params);
    FSave->setEnabled(run);
}

// Each run's analysed series, its step (or its start) at time 0, drawn as
// what it looks like on screen: the lowest and highest value in each pixel
// column, so ten runs of any length redraw in about the time of one.
void TRunsWindow::Redraw() {
    FPlot->clearGraphs();
    std::vector<const runs::TRun*> drawn;
    double lower = INFINITY, upper = -INFINITY;
    for (int id : FDrawn) {
        const runs::TRun* run = FLibrary.Find(id);
        const TChartHistory& history = run->series[size_t(run->analysis.Series)];
        if (history.Count() == 0) continue;
        drawn.push_back(run);
        lower = std::min(lower, history.Key(0) - run->AlignmentKey());
        upper = std::max(upper, history.Key(history.Count() - 1) - run->AlignmentKey());
    }
    const int width = std::max(FPlot->axisRect()->width(), 100);
    for (size_t n = 0; n < drawn.size(); ++n) {
        const runs::TRun& run = *drawn[n];
        const double zero = run.AlignmentKey();
        const envelope::TColumns columns{lower + zero, std::max(upper, lower + 1) + zero, width};
        const TChartHistory& history = run.series[size_t(run.analysis.Series)];
        // Fewer points than columns are drawn as they are: the columns would only add steps.
        const QVector<QCPGraphData> points =
            history.Count() <= 2 * width ? RawPoints(history, zero) : ColumnPoints(history, columns, zero);
        QCPGraph* graph = FPlot->addGraph();
        graph->setPen(QPen(Colours[n % MaxOverlaid], 2));
        graph->setName(TimeText(run, run.id == FLibrary.Reference()));
        graph->data()->set(points, true);
    }
    // The first run drawn names the axis: runs of one kind are compared.
    FPlot->yAxis->setLabel(
        drawn.empty() ? QString()
                      : chartunits::ValueTitle(drawn.front()->seriesNames[size_t(drawn.front()->analysis.Series)]));
    FPlot->legend->setVisible(!drawn.empty());
    FPlot->rescaleAxes();
    FPlot->replot();
}

void TRunsWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Redraw();  // the columns follow the plot's width
}

void TRunsWindow::PinReference() { FLibrary.SetReference(Selected()); }

void TRunsWindow::LoadParams() {
    const runs::TRun* run = FLibrary.Find(Selected());
    if (!run || !run->params) return;
    paramfile::TParamSet set;
    set.words = *run->params;
    set.controller = run->controller;
    set.time = run->started;
    FHooks.loadParams(set, U("Прогон %1, %2").arg(TimeText(*run, false), run->servoMode));
}

void TRunsWindow::SaveRun() {
    const runs::TRun* found = FLibrary.Find(Selected());
    if (!found) return;
    // A copy: a measurement that ends while the dialog is open may push this
    // run out of the bounded library.
    const runs::TRun run = *found;
    const QString suggested = run.started.toLocalTime().toString("'run-'yyyyMMdd-HHmmss'.csv'");
    const QString path = FHooks.choosePath(true, suggested);
    if (path.isEmpty()) return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !chartcsv::Write(runs::Table(run), file) || !file.commit())
        FHooks.showError(U("Не удалось записать %1: %2").arg(path, file.errorString()));
}

void TRunsWindow::OpenRun() {
    const QString path = FHooks.choosePath(false, QString());
    if (path.isEmpty()) return;
    runs::TCsvRead read = runs::LoadCsv(path);
    if (!read.run) {
        FHooks.showError(runs::RefusalMessage(path, read));
        return;
    }
    read.run->file = path;
    Select(FLibrary.Add(std::move(*read.run)).id);
}
