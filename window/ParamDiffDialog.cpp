#include "window/ParamDiffDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "link/ParamWords.h"
#include "window/EditMarks.h"

namespace {

using paramwords::ParamCount;

QString U(const char* text) { return QString::fromUtf8(text); }

QTableWidget* DiffTable(QWidget* parent, const paramsync::TWords& controller, const paramsync::TWords& file) {
    auto* table = new QTableWidget(ParamCount, 3, parent);
    table->setObjectName("tblParamDiff");
    table->setHorizontalHeaderLabels({U("Параметр"), U("Контроллер"), U("Файл")});
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    for (int i = 0; i < ParamCount; ++i) {
        const auto n = size_t(i);
        const bool differs = controller[n] != file[n];
        const QString texts[3] = {paramwords::Label(i), paramwords::DistinctText(i, controller[n], file[n]),
                                  paramwords::DistinctText(i, file[n], controller[n])};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            if (differs) {
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
                item->setBackground(editmarks::EditedBase);
            }
            item->setData(Qt::UserRole, differs);
            table->setItem(i, column, item);
        }
    }
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // All six rows in view, however the style sizes them.
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return table;
}

}  // namespace

TParamDiffDialog::TParamDiffDialog(QWidget* parent, const QString& about, const paramsync::TWords& controller,
                                   const paramsync::TWords& file, std::optional<uint8_t> bank)
    : QDialog(parent) {
    setObjectName("dlgParamDiff");
    setWindowTitle(U("Загрузить параметры из файла"));
    auto* layout = new QVBoxLayout(this);
    auto* aboutLabel = new QLabel(about, this);
    aboutLabel->setWordWrap(true);
    layout->addWidget(aboutLabel);
    layout->addWidget(DiffTable(this, controller, file));
    const int differing = DifferingRows(controller, file);
    auto* summary = new QLabel(differing == 0 ? U("Файл совпадает с контроллером.")
                                              : U("Отличается: %1 из %2 (выделено).").arg(differing).arg(ParamCount),
                               this);
    summary->setObjectName("lblDiffSummary");
    layout->addWidget(summary);

    auto* buttons = new QHBoxLayout;
    auto* write = new QPushButton(U("Записать"), this);
    write->setObjectName("btnWrite");
    auto* save = new QPushButton(bank ? U("Записать и сохранить в Bank %1").arg(*bank)
                                      : U("Записать и сохранить в Bank"),
                                 this);
    save->setObjectName("btnWriteAndSave");
    save->setEnabled(bank.has_value());
    auto* cancel = new QPushButton(U("Отмена"), this);
    cancel->setObjectName("btnCancel");
    cancel->setDefault(true);  // Enter writes nothing
    buttons->addWidget(write);
    buttons->addWidget(save);
    buttons->addStretch();
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(write, &QPushButton::clicked, this, [this] { Choose(Write); });
    connect(save, &QPushButton::clicked, this, [this] { Choose(WriteAndSave); });
    connect(cancel, &QPushButton::clicked, this, [this] { Choose(Cancel); });
    setMinimumWidth(420);
}

int TParamDiffDialog::DifferingRows(const paramsync::TWords& controller, const paramsync::TWords& file) {
    int count = 0;
    for (size_t i = 0; i < controller.size(); ++i) count += controller[i] != file[i] ? 1 : 0;
    return count;
}

void TParamDiffDialog::Choose(EChoice choice) {
    FChoice = choice;
    if (choice == Cancel) reject();
    else accept();
}
