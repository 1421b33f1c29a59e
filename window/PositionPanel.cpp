#include "window/PositionPanel.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "link/ControllerLink.h"
#include "link/NumberText.h"
#include "window/LayoutParts.h"

using namespace layoutparts;

namespace {

// What a 24-bit target on the wire can hold.
constexpr int64_t TargetMin = -(int64_t(1) << 23);
constexpr int64_t TargetMax = (int64_t(1) << 23) - 1;

}  // namespace

TPositionPanel::TPositionPanel(QWidget* window, TPanelHost& host) : QObject(window), FHost(host) {
    auto* actual = Named(Group(window, " Текущая позиция", {280, 8, 124, 97}), "GroupBox2");
    FPosition = Named(Edit(actual, "", {8, 22, 108, 21}), "edtPosition");
    FPosition->setReadOnly(true);
    auto* get = Named(Button(actual, "Получить", {8, 52, 108, 25}), "btnGetPosition");

    auto* target = Named(Group(window, "Позиция \"назначение\" ", {408, 8, 152, 97}), "gboxZ");
    FTarget = Named(Edit(target, "", {8, 22, 136, 21}), "edtPosTo");
    auto* getTarget = Named(Button(target, "Получить", {8, 52, 67, 25}), "btnGetZ");
    FSetTarget = Named(Button(target, "Задать", {77, 52, 67, 25}), "btnSetPosition");

    FHost.BindClick(get, [this] { btnGetPositionClick(); });
    FHost.BindClick(getTarget, [this] { btnGetZClick(); });
    FHost.BindClick(FSetTarget, [this] { btnSetPositionClick(); });
}

void TPositionPanel::btnGetPositionClick() { FHost.PanelLink().SendGetPosition(); }

void TPositionPanel::btnGetZClick() { FHost.PanelLink().SendGetTarget(); }

void TPositionPanel::btnSetPositionClick() {
    const auto distance = numtext::StrToInt(FTarget->text());
    if (!distance) {
        FHost.MarkInputError(FTarget);
        return;
    }
    TControllerLink& link = FHost.PanelLink();
    link.SendGetPosition();
    link.WaitReply();
    // The frame carries 24 bits: a target past either end would wrap and
    // send the motor towards the far end of the range.
    const int64_t target = int64_t(*distance) + link.Position();
    if (target < TargetMin || target > TargetMax) {
        FHost.MarkInputError(FTarget);
        FHost.ShowError(QString::fromUtf8("Цель %1 вне диапазона от %2 до %3")
                            .arg(target).arg(TargetMin).arg(TargetMax));
        return;
    }
    link.SendSetTarget(int32_t(target));
}

void TPositionPanel::ShowPosition(int32_t position) { FPosition->setText(QString::number(position)); }

void TPositionPanel::ShowTarget(int32_t target) { FTarget->setText(QString::number(target)); }
