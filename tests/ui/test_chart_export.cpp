// The chart's exports through its context menu, against a simulated
// controller measuring on the wall clock: the CSV file in each servo mode
// and unit (comment lines, units in the header, empty cells, only the points
// held, every number equal to the series' own), the image files in each
// format and size, the clipboard, the entries' enabling, and a failed write.
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "chart/ChartImage.h"
#include "chart/StepPanel.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/ui/ChartMenuDriver.h"
#include "tests/ui/CsvReader.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

const char* const ModeCaptions[] = {"ШИМ", "Крутящий момент", "Скорость", "Позиция"};
const char* const UnitCaptions[] = {"мм/мин", "кИмп/сек", "процент"};

class TChartExport : public TLiveWindowTest {
protected:
    void SetUp() override {
        TLiveWindowTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(Dir.isValid());
        Driver = std::make_unique<TChartMenuDriver>(*Form);
        ASSERT_NO_FATAL_FAILURE(Connect());
    }
    // Measures in the mode and unit until the chart holds `samples` points,
    // the oldest already dropped when `samples` is the history's depth; then stops.
    void Measure(int mode, int unit, int samples, int depth = 100) {
        ASSERT_NO_FATAL_FAILURE(ChooseMode(mode));
        if (OwnEnabled(Ctl<TRadioGroup>(*Form, "rgVelocityRaz"))) Click(Ctl<TRadioGroup>(*Form, "rgVelocityRaz")->Item(unit));
        Ctl<QLineEdit>(*Form, "edtHistoryDepth")->setText(QString::number(depth));
        Click(Ctl<QPushButton>(*Form, "btnGraph"));
        const TChartHistory& history = testsupport::Parts(Form).Series1->History();
        ASSERT_TRUE(WaitFor([&] {
            return history.Count() >= samples && (samples < depth || history.Key(0) > 0);
        }));
        Click(Ctl<QPushButton>(*Form, "btnGraph"));
        ASSERT_FALSE(Form->Measurement().Running());
    }
    QString PathOf(const char* name) const { return Dir.filePath(QString::fromUtf8(name)); }
    // Exports the points through the menu under the name chosen and reads
    // back the file written (the same name unless it lacked an extension).
    TCsvFile ExportCsv(const char* chosen = "points.csv", const char* written = nullptr) {
        EXPECT_TRUE(Driver->Export(testsupport::Parts(Form).ChartMenu->SaveCsvAction(), PathOf(chosen)));
        EXPECT_EQ(Driver->Outcomes.back(), QString());
        QFile file(PathOf(written ? written : chosen));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return ParseCsv(file.readAll());
    }
    // Every row is one sample time of Series1, with each series' own point
    // there (all series of a run share the sample times), empty where a
    // series has none; every number exactly as the series holds it.
    void ExpectRowsAreTheSeries(const TCsvFile& file) {
        ASSERT_TRUE(file.parsed);
        const std::array<TSeriesGraph*, 3> series{testsupport::Parts(Form).Series1, testsupport::Parts(Form).Series2, testsupport::Parts(Form).Series3};
        const TChartHistory& times = testsupport::Parts(Form).Series1->History();
        ASSERT_EQ(file.rows.size(), size_t(times.Count()));
        for (size_t r = 0; r < file.rows.size(); ++r) {
            const auto& row = file.rows[r];
            ASSERT_EQ(row.size(), 4u) << r;
            EXPECT_EQ(row[0], times.Key(int(r))) << r;
            for (size_t s = 0; s < 3; ++s) {
                const TChartHistory& history = series[s]->History();
                if (history.Count() == 0) {
                    EXPECT_EQ(row[s + 1], std::nullopt) << r << " series " << s + 1;
                    continue;
                }
                ASSERT_EQ(history.Count(), times.Count());
                ASSERT_EQ(history.Key(int(r)), times.Key(int(r)));
                EXPECT_EQ(row[s + 1], history.Value(int(r))) << r << " series " << s + 1;
            }
        }
    }
    QString ControllerIdent() const {
        QString panel = Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1);
        EXPECT_TRUE(panel.startsWith(U("Контроллер: "))) << panel.toStdString();
        return panel.mid(QString(U("Контроллер: ")).size());
    }

    QTemporaryDir Dir;
    std::unique_ptr<TChartMenuDriver> Driver;
};

struct TCsvCase {
    const char* name;
    int mode;
    int unit;
    // The unit in each series' header cell; none: the series has no points
    // (its cell then carries the unit of its axis as last set).
    std::array<const char*, 3> units;
};

}  // namespace

TEST_F(TChartExport, CsvInEachModeAndUnit) {
    const TCsvCase cases[] = {
        {"velocity mm/min", 2, 0, {"мм/мин", "мм/мин", "мм/мин"}},
        {"velocity kpulses/s", 2, 1, {"килоИмпульсов/сек", "килоИмпульсов/сек", "килоИмпульсов/сек"}},
        {"velocity percent", 2, 2, {"%", nullptr, nullptr}},
        // Outside the velocity mode the unit group is disabled and keeps its choice.
        {"pwm", 0, 2, {"килоИмпульсов/сек", "импульсов", nullptr}},
        {"torque", 1, 2, {"килоИмпульсов/сек", "импульсов", nullptr}},
        {"position", 3, 2, {"килоИмпульсов/сек", "импульсов", nullptr}},
    };
    const QRegularExpression isoTime(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d)$"));
    for (const TCsvCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Measure(c.mode, c.unit, 4));
        const TCsvFile file = ExportCsv();
        ASSERT_EQ(file.comments.size(), 6);
        EXPECT_EQ(file.comments[0], U("Серво-режим: ") + U(ModeCaptions[c.mode]));
        EXPECT_EQ(file.comments[1], U("Единица скорости: ") + U(UnitCaptions[c.unit]));
        EXPECT_EQ(file.comments[2], U("Период измерений, мс: 16"));
        EXPECT_EQ(file.comments[3], U("Глубина истории: 100"));
        EXPECT_EQ(file.comments[4], U("Контроллер: ") + ControllerIdent());
        ASSERT_TRUE(file.comments[5].startsWith(U("Время экспорта: ")));
        EXPECT_TRUE(isoTime.match(file.comments[5].mid(16)).hasMatch()) << file.comments[5].toStdString();

        ASSERT_EQ(file.header.size(), 4);
        EXPECT_EQ(file.header[0], U("Время (мсек)"));
        for (int s = 0; s < 3; ++s) {
            EXPECT_TRUE(file.header[s + 1].startsWith(QStringLiteral("Series%1").arg(s + 1)));
            if (c.units[size_t(s)]) {
                EXPECT_EQ(file.header[s + 1], QStringLiteral("Series%1 (%2)").arg(s + 1).arg(U(c.units[size_t(s)])));
            }
        }
        ExpectRowsAreTheSeries(file);
        for (int s = 0; s < 3; ++s) {
            const bool present = c.units[size_t(s)] != nullptr;
            for (const auto& row : file.rows) EXPECT_EQ(row[size_t(s) + 1].has_value(), present) << s + 1;
        }
    }
    // The dialog suggested a name from the time, in the last directory used.
    ASSERT_FALSE(Driver->Requests.empty());
    const TChartMenu::TFileRequest& request = Driver->Requests.back();
    EXPECT_EQ(request.filters, QStringList{U("CSV (*.csv)")});
    EXPECT_EQ(QFileInfo(request.suggestedPath).absolutePath(), QFileInfo(Dir.path()).absoluteFilePath());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^servo-\\d{8}-\\d{6}\\.csv$"))
                    .match(QFileInfo(request.suggestedPath).fileName()).hasMatch())
        << request.suggestedPath.toStdString();
}

// A history trimmed to its depth: the file holds the points held, no more.
// A step of the drive bar while measuring the velocity: stopped, the menu's
// figures name the step and time the simulated motor's answer to it, and
// the mark stands at the step; a new start clears them.
TEST_F(TChartExport, StepFiguresOfTheSimulatedMotor) {
    ASSERT_NO_FATAL_FAILURE(ChooseMode(2));
    Click(Ctl<TRadioGroup>(*Form, "rgVelocityRaz")->Item(1));
    Ctl<QLineEdit>(*Form, "edtHistoryDepth")->setText("1000");
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    const TChartHistory& history = testsupport::Parts(Form).Series1->History();
    ASSERT_TRUE(WaitFor([&] { return history.Count() >= 20; }));
    // The bar is moved between two polls, as a hand on it would be seen.
    ASSERT_TRUE(WaitFor([&] { return LinkIdle(); }));
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->SetPosition(300);
    const int stepped = history.Count();
    ASSERT_TRUE(WaitFor([&] { return history.Count() >= stepped + 60; }));
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_FALSE(Form->Measurement().Running());

    QMenu* menu = Driver->Open();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(Driver->Choose(menu, testsupport::Parts(Form).ChartMenu->StepFiguresAction()));
    TStepPanel* panel = testsupport::Parts(Form).ChartMenu->StepPanel();
    // Polled every 16 ms, the record misses ticks about the step and says how many.
    QStringList lines = panel->Text().split('\n');
    ASSERT_EQ(lines.size(), 9) << panel->Text().toStdString();
    EXPECT_TRUE(lines.takeAt(2).startsWith(U("Около скачка пропущено тактов контроллера: ")));
    EXPECT_TRUE(lines[1].startsWith(U("Скачок задания: 0 → "))) << lines[1].toStdString();
    const QString rise = U("Время нарастания 10–90 %: ");
    ASSERT_TRUE(lines[2].startsWith(rise)) << lines[2].toStdString();
    bool number = false;
    const double riseMs = lines[2].mid(rise.size()).section(' ', 0, 0).toDouble(&number);
    EXPECT_TRUE(number && riseMs > 0 && riseMs < 1000) << lines[2].toStdString();
    ASSERT_TRUE(panel->MarkedTime());
    const int at = history.LowerIndex(*panel->MarkedTime());
    ASSERT_LT(at, history.Count());
    EXPECT_EQ(history.Key(at), *panel->MarkedTime()) << "the mark is not at a sample of the record";

    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    EXPECT_TRUE(panel->isHidden());
    EXPECT_FALSE(panel->MarkedTime());
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
}

TEST_F(TChartExport, CsvOfATrimmedHistoryHoldsOnlyItsPoints) {
    ASSERT_NO_FATAL_FAILURE(Measure(2, 1, 5, 5));
    ASSERT_EQ(testsupport::Parts(Form).Series1->History().Count(), 5);
    const TCsvFile file = ExportCsv("trimmed", "trimmed.csv");
    EXPECT_EQ(file.comments.value(3), U("Глубина истории: 5"));
    ASSERT_EQ(file.rows.size(), 5u);
    EXPECT_GT(*file.rows.front()[0], 0.0);  // the first samples were dropped
    ExpectRowsAreTheSeries(file);
}

// Chosen while measuring: the points of that moment, every row whole.
TEST_F(TChartExport, CsvWhileMeasuringIsOneMoment) {
    ChooseMode(2);
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(WaitFor([this] { return testsupport::Parts(Form).Series1->History().Count() >= 5; }));
    ASSERT_TRUE(Driver->Export(testsupport::Parts(Form).ChartMenu->SaveCsvAction(), PathOf("running.csv")));
    EXPECT_TRUE(Form->Measurement().Running());
    QFile file(PathOf("running.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const TCsvFile csv = ParseCsv(file.readAll());
    ASSERT_TRUE(csv.parsed);
    ASSERT_GE(csv.rows.size(), 5u);
    for (size_t r = 0; r < csv.rows.size(); ++r) {
        ASSERT_EQ(csv.rows[r].size(), 4u);
        for (const auto& cell : csv.rows[r]) EXPECT_TRUE(cell.has_value()) << r;
        if (r > 0) {
            EXPECT_GT(*csv.rows[r][0], *csv.rows[r - 1][0]) << r;
        }
    }
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
}

TEST_F(TChartExport, ImagesInEachFormatAndSize) {
    ASSERT_NO_FATAL_FAILURE(Measure(2, 1, 5));
    const QSize size = Ctl<QCustomPlot>(*Form, "Chart1")->size();
    const QImage screen = chartimage::Render(*Ctl<QCustomPlot>(*Form, "Chart1"), 1).convertToFormat(QImage::Format_RGB32);
    struct TImageCase {
        const char* chosen;
        int filter;
        const char* written;
    };
    const TImageCase cases[] = {
        {"plain.png", 0, "plain.png"}, {"double", 1, "double.png"}, {"twice.png", 1, "twice.png"},
        {"vector.pdf", 0, "vector.pdf"}, {"paper", 2, "paper.pdf"},  {"lines.svg", 1, "lines.svg"},
        {"drawing", 3, "drawing.svg"},
    };
    for (const TImageCase& c : cases) {
        SCOPED_TRACE(c.chosen);
        ASSERT_TRUE(Driver->Export(testsupport::Parts(Form).ChartMenu->SaveImageAction(), PathOf(c.chosen), c.filter));
        EXPECT_EQ(Driver->Outcomes.back(), QString());
        QFile file(PathOf(c.written));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QString suffix = QFileInfo(file.fileName()).suffix();
        if (suffix == "png") {
            EXPECT_TRUE(bytes.startsWith("\x89PNG\r\n\x1a\n"));
            const QImage image = QImage::fromData(bytes, "PNG");
            EXPECT_EQ(image.size(), size * (c.filter == 1 ? 2 : 1));
            // At the chart's size, the picture the chart shows.
            if (c.filter == 0) {
                EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), screen);
            }
        } else if (suffix == "pdf") {
            EXPECT_TRUE(bytes.startsWith("%PDF-"));
            EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF"));
        } else {
            QXmlStreamReader xml(bytes);
            ASSERT_TRUE(xml.readNextStartElement());
            EXPECT_EQ(xml.name(), QStringLiteral("svg"));
            int texts = 0;
            while (!xml.atEnd()) texts += xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QStringLiteral("text");
            EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
            EXPECT_GT(texts, 5);  // tick labels and axis titles are text, not pixels
        }
    }
    ASSERT_FALSE(Driver->Requests.empty());
    EXPECT_EQ(Driver->Requests.back().filters, TChartMenu::ImageFilters());
    EXPECT_TRUE(Driver->Requests.back().suggestedPath.endsWith(".png"));
}

TEST_F(TChartExport, CopyPutsThePictureOnTheClipboard) {
    ASSERT_NO_FATAL_FAILURE(Measure(0, 1, 5));
    QGuiApplication::clipboard()->clear();
    QMenu* menu = Driver->Open();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(Driver->Choose(menu, testsupport::Parts(Form).ChartMenu->CopyImageAction()));
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_FALSE(copied.isNull());
    EXPECT_EQ(copied.size(), Ctl<QCustomPlot>(*Form, "Chart1")->size());
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
              chartimage::Render(*Ctl<QCustomPlot>(*Form, "Chart1"), 1).convertToFormat(QImage::Format_RGB32));
}

TEST_F(TChartExport, EntriesNeedPointsAndWorkStoppedOrRunning) {
    const auto enabled = [this](QMenu* menu) {
        std::vector<bool> states;
        for (QAction* action : menu->actions())
            if (!action->isSeparator()) states.push_back(action->isEnabled());
        return states;
    };
    QMenu* menu = Driver->Open();
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* action : menu->actions())
        if (!action->isSeparator()) texts << action->text();
    EXPECT_EQ(texts, (QStringList{U("Сохранить данные (CSV)…"), U("Сохранить изображение…"),
                                  U("Копировать изображение"), U("Переходная характеристика"), U("Прогоны"),
                                  U("Опыт: ступенька…"), U("Автонастройка…"), U("Журнал обмена")}));
    // The runs are there whatever the chart holds; a step test needs a connected controller.
    EXPECT_EQ(enabled(menu), (std::vector<bool>{false, false, false, false, true, true, true, true}))
        << "an empty chart has nothing to export";
    EXPECT_FALSE(Driver->Choose(menu, testsupport::Parts(Form).ChartMenu->SaveCsvAction(), 300));
    menu->close();
    EXPECT_TRUE(Driver->Requests.empty());

    ChooseMode(2);
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(WaitFor([this] { return testsupport::Parts(Form).Series1->History().Count() >= 2; }));
    menu = Driver->Open();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(enabled(menu), (std::vector<bool>{true, true, true, false, true, false, false, true}))
        << "running: exports, but no figures of a record still growing, and no step test or tuning; the log";
    menu->close();
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    menu = Driver->Open();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(enabled(menu), std::vector<bool>(8, true)) << "stopped";
    menu->close();
}

// A file that cannot be written: the box names it and the system's reason,
// and nothing is left behind.
TEST_F(TChartExport, AFailedWriteIsShownAndLeavesNoFile) {
    ASSERT_NO_FATAL_FAILURE(Measure(2, 1, 3));
    QFile blocker(PathOf("plain-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    struct TFailCase {
        QAction* entry;
        QString path;
        const char* reason;
    };
    const TFailCase cases[] = {
        {testsupport::Parts(Form).ChartMenu->SaveCsvAction(), PathOf("missing/points.csv"), "No such file or directory"},
        {testsupport::Parts(Form).ChartMenu->SaveImageAction(), PathOf("missing/chart.png"), "No such file or directory"},
        {testsupport::Parts(Form).ChartMenu->SaveCsvAction(), PathOf("plain-file/points.csv"), "Not a directory"},
    };
    for (const TFailCase& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const size_t boxes = Boxes->Boxes().size();
        ASSERT_TRUE(Driver->Export(c.entry, c.path));
        EXPECT_NE(Driver->Outcomes.back(), QString());
        ASSERT_TRUE(WaitFor([&] { return Boxes->Boxes().size() > boxes; }));
        const TBoxRecord& box = Boxes->Boxes().back();
        EXPECT_EQ(box.icon, QMessageBox::Critical);
        EXPECT_TRUE(box.text.contains(c.path)) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains(QString::fromUtf8(c.reason))) << box.text.toStdString();
        EXPECT_FALSE(QFileInfo::exists(c.path));
    }
    // Only the blocker: no temporary file either.
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"plain-file"});
}
