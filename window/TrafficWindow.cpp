#include "window/TrafficWindow.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

#include "link/Protocol.h"
#include "record/FileSaveJob.h"

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr int RefreshMs = 200;

}  // namespace

TTrafficWindow::TTrafficWindow(QWidget* parent, traffic::TLog& log, THooks hooks)
    : QWidget(parent, Qt::Window), FLog(log), FHooks(std::move(hooks)) {
    setObjectName("frmTraffic");
    setWindowTitle(U("Журнал обмена"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    FHidePolls = new QCheckBox(U("Скрыть опросы (V)"), this);
    FHidePolls->setObjectName("chkHidePolls");
    FOnlyFailures = new QCheckBox(U("Только сбои"), this);
    FOnlyFailures->setObjectName("chkOnlyFailures");
    FPause = new QPushButton(U("Пауза"), this);
    FPause->setObjectName("btnTrafficPause");
    FPause->setCheckable(true);
    auto* clear = new QPushButton(U("Очистить"), this);
    clear->setObjectName("btnTrafficClear");
    auto* save = new QPushButton(U("Сохранить…"), this);
    save->setObjectName("btnTrafficSave");
    FCount = new QLabel(this);
    for (QWidget* w : std::initializer_list<QWidget*>{FHidePolls, FOnlyFailures, FPause, clear, save}) row->addWidget(w);
    row->addStretch();
    row->addWidget(FCount);
    layout->addLayout(row);
    FView = new QPlainTextEdit(this);
    FView->setObjectName("txtTraffic");
    FView->setReadOnly(true);
    FView->setLineWrapMode(QPlainTextEdit::NoWrap);
    FView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(FView);
    connect(FHidePolls, &QCheckBox::toggled, this, [this] { Rebuild(); });
    connect(FOnlyFailures, &QCheckBox::toggled, this, [this] { Rebuild(); });
    connect(FPause, &QPushButton::toggled, this, [this](bool paused) {
        if (!paused) Refresh();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        FLog.Clear();
        Rebuild();
    });
    connect(save, &QPushButton::clicked, this, [this] { Save(); });
    connect(FView, &QPlainTextEdit::cursorPositionChanged, this, [this] { Clicked(); });
    connect(&FTimer, &QTimer::timeout, this, [this] { Refresh(); });
    FTimer.start(RefreshMs);
    resize(980, 520);
    Rebuild();
}

bool TTrafficWindow::Wanted(const traffic::TLine& line) const {
    if (FOnlyFailures->isChecked() && !line.failure) return false;
    return !(FHidePolls->isChecked() && line.code == protocol::cmdGetSample && !line.failure);
}

void TTrafficWindow::Rebuild() {
    FView->clear();
    FSerials.clear();
    FShownUpTo = FLog.Dropped();
    Refresh();
}

// The lines added since the last look, appended in one piece.
void TTrafficWindow::Refresh() {
    const uint64_t first = FLog.Dropped();
    FCount->setText(U("строк: %1 (хранится до %2)").arg(FLog.Lines().size()).arg(traffic::TLog::DefaultBound));
    if (FPause->isChecked() || FLog.Added() == FShownUpTo) return;
    QStringList texts;
    for (uint64_t serial = std::max(FShownUpTo, first); serial < FLog.Added(); ++serial) {
        const traffic::TLine& line = FLog.Lines()[size_t(serial - first)];
        if (!Wanted(line)) continue;
        texts << FLog.Text(line);
        FSerials.push_back(serial);
    }
    FShownUpTo = FLog.Added();
    if (texts.isEmpty()) return;
    const QSignalBlocker quiet(FView);  // appending moves no cursor a user set
    FView->appendPlainText(texts.join('\n'));
    // The view keeps what the log keeps.
    const int excess = FView->blockCount() - int(traffic::TLog::DefaultBound);
    if (excess > 0) Rebuild();
}

QStringList TTrafficWindow::Shown() const {
    const QString text = FView->toPlainText();
    return text.isEmpty() ? QStringList() : text.split('\n');
}

void TTrafficWindow::Clicked() {
    const int block = FView->textCursor().blockNumber();
    if (block < 0 || size_t(block) >= FSerials.size() || !FHooks.showTime) return;
    const uint64_t serial = FSerials[size_t(block)];
    if (serial < FLog.Dropped()) return;
    const traffic::TLine& line = FLog.Lines()[size_t(serial - FLog.Dropped())];
    if (line.code == protocol::cmdGetSample) FHooks.showTime(line.timeMs);
}

// The lines as filtered, UTF-8, one a line; all of it or no file.
void TTrafficWindow::Save() {
    const QString path = FHooks.choosePath ? FHooks.choosePath(U("журнал.txt")) : QString();
    if (path.isEmpty()) return;
    QByteArray text;
    for (const traffic::TLine& line : FLog.Lines())
        if (Wanted(line)) text += (FLog.Text(line) + '\n').toUtf8();
    const QString error = TFileSaveJob::WriteFile(path, [&text](QIODevice& out) { return out.write(text) == text.size(); });
    if (!error.isEmpty() && FHooks.showError) FHooks.showError(U("Журнал не сохранён: %1").arg(error));
}
