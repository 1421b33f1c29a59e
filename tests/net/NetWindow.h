// The window reaching its controller through ser2net: the fault matrix's rig
// (stepped or wall clock) with the server in front of the simulator.
#pragma once

#include "tests/e2e/FaultMatrix.h"
#include "tests/support/NetFixture.h"
#include "tests/support/WindowDriver.h"

namespace nettest {

using namespace faultmatrix;

template <class TBase>
class TNetWindow : public TBase, public ::testing::WithParamInterface<ser2net::EMode> {
protected:
    void SetUp() override {
        TBase::SetUp();
        if (this->HasFatalFailure()) return;
        ASSERT_NO_FATAL_FAILURE(StartServer(Server, GetParam(), this->Sim->Path()));
    }
    void TearDown() override {
        this->Form.reset();  // the port closes before its server goes
        Server.Stop();
        TBase::TearDown();
    }
    // The address typed as the user does: "Другой порт…", then the address.
    void TypeAddress(const std::string& address) {
        TDialogAnswer answer(QString::fromStdString(address));
        QComboBox* box = testsupport::Ctl<QComboBox>(*this->Form, "cbPort");
        const int other = box->findText(U("Другой порт…"));
        box->setCurrentIndex(other);
        emit box->activated(other);  // what choosing the entry in the list does
        ASSERT_TRUE(WaitFor([&] { return !answer.Asked.isEmpty() && !QApplication::activeModalWidget(); }));
        ASSERT_EQ(box->currentText(), QString::fromStdString(address));
    }
    // Connects through the server as the user does: the address typed into
    // the port box, then "Подключить". The controller's log is emptied after.
    void ConnectThrough() {
        if (testsupport::Ctl<QComboBox>(*this->Form, "cbPort")->currentText() != QString::fromStdString(Server.Address())) {
            ASSERT_NO_FATAL_FAILURE(TypeAddress(Server.Address()));
        }
        this->Click(testsupport::Ctl<QPushButton>(*this->Form, "btnConnect"));
        ASSERT_TRUE(this->Connected()) << this->Boxes->Texts().join("; ").toStdString();
        this->Sim->ClearFrames();
    }
    // A new controller and a new server in front of it, as after a restart.
    void RestartBoth() {
        Server.Stop();
        this->StartSimulator();
        ASSERT_NO_FATAL_FAILURE(StartServer(Server, GetParam(), this->Sim->Path()));
    }
    QString LostText() const {
        return U("Связь с %1 потеряна (устройство отключено)").arg(QString::fromStdString(Server.Address()));
    }

    ser2net::TServer Server;
};

// The window with a stepped controller, as the fault matrix has it.
using TNetMatrix = TNetWindow<TFaultMatrix>;

}  // namespace nettest
