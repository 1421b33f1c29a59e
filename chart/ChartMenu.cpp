#include "chart/ChartMenu.h"

#include <iterator>
#include <memory>
#include <optional>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <qcustomplot.h>

#include "chart/ChartImage.h"
#include "chart/SeriesGraph.h"
#include "chart/StepPanel.h"
#include "record/ChartUnits.h"
#include "record/StepAnalysis.h"
#include "record/StepReport.h"

namespace {

QString T(const char* text) { return QString::fromUtf8(text); }

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

// The save dialog; Qt's own, so it looks the same on every desktop.
TChartMenu::TFileChoice AskFile(QWidget* parent, const TChartMenu::TFileRequest& request) {
    QFileDialog dialog(parent, request.caption);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(request.filters);
    dialog.setDirectory(QFileInfo(request.suggestedPath).absolutePath());
    dialog.selectFile(QFileInfo(request.suggestedPath).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return {dialog.selectedFiles().constFirst(), int(request.filters.indexOf(dialog.selectedNameFilter()))};
}

// The image dialog's filters: what each offers, the extension it gives a
// name that has none, and the size of a PNG picture chosen with it.
struct TImageFilter {
    const char* text;
    const char* suffix;
    int pngScale;
};
constexpr TImageFilter ImageFilterTable[] = {
    {"PNG, размер графика (*.png)", ".png", 1},
    {"PNG, вдвое больше (*.png)", ".png", 2},
    {"PDF (*.pdf)", ".pdf", 1},
    {"SVG (*.svg)", ".svg", 1},
};

const TImageFilter& ImageFilter(int index) {
    const bool known = index >= 0 && size_t(index) < std::size(ImageFilterTable);
    return ImageFilterTable[known ? size_t(index) : 0];
}

}  // namespace

TChartMenu::TChartMenu(QCustomPlot* chart, std::vector<TSeriesGraph*> series, TErrorBox showError,
                       TRunner run)
    : QObject(chart), FChart(chart), FSeries(std::move(series)), FShowError(std::move(showError)),
      FRun(std::move(run)), FLastDir(QDir::currentPath()), FMenu(new QMenu(chart)),
      FStepPanel(new TStepPanel(chart)) {
    const auto entry = [this](const QString& text, void (TChartMenu::*handler)()) {
        return FMenu->addAction(text, this, [this, handler] { FRun([this, handler] { (this->*handler)(); }); });
    };
    FSaveCsv = entry(SaveCsvText(), &TChartMenu::SaveCsv);
    FSaveImage = entry(SaveImageText(), &TChartMenu::SaveImage);
    FCopyImage = entry(CopyImageText(), &TChartMenu::CopyImage);
    AddAnalysisEntries(*FMenu);
    connect(FMenu, &QMenu::aboutToShow, this, [this] { UpdateEnabled(); });
    FChart->installEventFilter(this);
}

QString TChartMenu::SaveCsvText() { return T("Сохранить данные (CSV)…"); }
QString TChartMenu::SaveImageText() { return T("Сохранить изображение…"); }
QString TChartMenu::CopyImageText() { return T("Копировать изображение"); }

QStringList TChartMenu::ImageFilters() {
    QStringList filters;
    for (const TImageFilter& filter : ImageFilterTable) filters << T(filter.text);
    return filters;
}

QString TChartMenu::StepFiguresText() { return T("Переходная характеристика"); }

void TChartMenu::AddAnalysisEntries(QMenu& menu) {
    menu.addSeparator();
    FStepFigures = menu.addAction(StepFiguresText(), this, [this] { FRun([this] { ShowStepFigures(); }); });
}

// The figures of the last step in view, over the plot.
void TChartMenu::ShowStepFigures() {
    if (FSeries.size() < 3) return;
    const QCPRange view = FChart->xAxis->range();
    const stepview::TAnalysis analysis = stepview::Analyse(
        {&FSeries[0]->History(), &FSeries[1]->History(), &FSeries[2]->History()}, view.lower, view.upper,
        protocol::ModeNamed(FFacts.servoMode.toStdString()));
    const QString unit = chartunits::SeriesUnit(*FSeries[size_t(analysis.Series)]);
    std::optional<double> step;
    if (analysis.What != stepview::EAnalysed::None && analysis.Figures.StepLack == stepfig::EFigureLack::None)
        step = analysis.Figures.StepTime;
    FStepPanel->ShowFigures(stepreport::Lines(analysis, unit, FFacts.servoMode), step);
}

bool TChartMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched != FChart) return false;
    if (event->type() == QEvent::ContextMenu) {
        auto* request = static_cast<QContextMenuEvent*>(event);
        // The keyboard's request comes as the Menu key below; a platform
        // that sends both must not open the menu twice.
        if (request->reason() == QContextMenuEvent::Mouse) Popup(request->pos());
        return true;
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Menu) {
        // At the mouse when it is over the chart, else amid the plot.
        const QPoint mouse = FChart->mapFromGlobal(QCursor::pos());
        Popup(FChart->rect().contains(mouse) ? mouse : FChart->axisRect()->rect().center());
        return true;
    }
    return false;
}

void TChartMenu::Popup(const QPoint& chartPos) {
    if (FMenu->isVisible()) return;
    FMenu->popup(FChart->mapToGlobal(chartPos));
}

bool TChartMenu::HasPoints() const {
    for (const TSeriesGraph* series : FSeries)
        if (series->History().Count() > 0) return true;
    return false;
}

void TChartMenu::UpdateEnabled() {
    const bool any = HasPoints();
    for (QAction* action : {FSaveCsv, FSaveImage, FCopyImage}) action->setEnabled(any);
    FStepFigures->setEnabled(any && FStopped());
}

chartcsv::TTable TChartMenu::Table(const QDateTime& at) const {
    chartcsv::TTable table;
    table.comments = recordfacts::Lines(FFacts);
    table.comments.push_back(recordfacts::ExportLine(at));
    table.timeName = Utf8(FChart->xAxis->label());
    for (size_t i = 0; i < FSeries.size(); ++i) {
        const QString name = chartunits::ColumnName(int(i), chartunits::SeriesUnit(*FSeries[i]));
        table.columns.push_back({Utf8(name), FSeries[i]->History()});
    }
    return table;
}

QString TChartMenu::SuggestedPath(const QDateTime& at, const char* suffix) const {
    return QDir(FLastDir).filePath(at.toString(QStringLiteral("'servo-'yyyyMMdd-HHmmss")) +
                                   QLatin1String(suffix));
}

TChartMenu::TFileChoice TChartMenu::Choose(const TFileRequest& request) {
    const TFileChoice choice = FChooser ? FChooser(request) : AskFile(FChart->window(), request);
    if (!choice.path.isEmpty()) FLastDir = QFileInfo(choice.path).absolutePath();
    return choice;
}

void TChartMenu::SaveCsv() {
    // The points as they are now; the measurement may go on meanwhile.
    const QDateTime now = QDateTime::currentDateTime();
    auto table = std::make_shared<const chartcsv::TTable>(Table(now));
    QString path = Choose({T("Сохранить данные (CSV)"), SuggestedPath(now, ".csv"), {T("CSV (*.csv)")}}).path;
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QLatin1String(".csv");
    // Worker thread: formats and writes its own copy of the points.
    StartSave(path, [table](QIODevice& out) { return chartcsv::Write(*table, out); });
}

void TChartMenu::SaveImage() {
    const QDateTime now = QDateTime::currentDateTime();
    const TChartPicture picture(*FChart);
    const TFileChoice choice =
        Choose({T("Сохранить изображение"), SuggestedPath(now, ".png"), ImageFilters()});
    if (choice.path.isEmpty()) return;
    // The extension chooses the format; a name without one takes the filter's.
    const TImageFilter& filter = ImageFilter(choice.filter);
    QString path = choice.path;
    if (!chartimage::FormatOf(path)) path += QLatin1String(filter.suffix);
    const chartimage::EFormat format = *chartimage::FormatOf(path);
    StartSave(path, picture.Writer(format, format == chartimage::EFormat::Png ? filter.pngScale : 1));
}

void TChartMenu::CopyImage() {
    QGuiApplication::clipboard()->setImage(chartimage::Render(*FChart, 1));
}

void TChartMenu::StartSave(const QString& path, TFileSaveJob::TWriter writer) {
    new TFileSaveJob(path, std::move(writer), [this, path](const QString& error) {
        if (!error.isEmpty())
            FShowError(T("Не удалось сохранить файл %1:\n%2").arg(QDir::toNativeSeparators(path), error));
        emit Saved(path, error);
    }, this);
}
