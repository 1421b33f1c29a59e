#include "paramset/ParamSync.h"

#include <functional>

namespace paramsync {

namespace {

using paramwords::ParamCount;

}  // namespace

TLinkState Transact(TControllerLink& link, const std::function<bool()>& send) {
    SendWhenFree(link, send);
    return link.WaitReply();
}

bool TStored::Held(const TWords& wanted) const { return back && AllSame(Compare(wanted, *back)); }

bool TStored::Fine(const TWords& wanted) const {
    return writes.AllAccepted() && Held(wanted) && (bank == EBankSave::NotAsked || bank == EBankSave::Saved);
}

TStored WriteVerifySave(TControllerLink& link, const TWords& wanted, std::optional<uint8_t> bank,
                        EOnFailure onFailure, const std::function<TReadBack()>& readBack) {
    TStored stored;
    stored.writes = WriteAll(link, wanted, onFailure);
    if (onFailure == EOnFailure::Stop && stored.writes.FirstFailed() >= 0) return stored;
    stored.back = readBack ? readBack() : ReadAll(link);
    if (!bank) return stored;
    if (!stored.writes.AllAccepted()) stored.bank = EBankSave::NotAllWritten;
    else if (!stored.Held(wanted)) stored.bank = EBankSave::NotHeld;
    else {
        stored.saveState = Transact(link, [&link, &bank] { return link.SendSaveBank(*bank); });
        stored.bank = stored.saveState == lsDone ? EBankSave::Saved : EBankSave::Failed;
    }
    return stored;
}

void SendWhenFree(TControllerLink& link, const std::function<bool()>& send) {
    while (!send()) {
        link.CheckLine();  // the only other reason a send is refused
        link.WaitReply();
    }
}

QString TReadBack::FailedStep() const { return QStringLiteral("R%1").arg(read); }

TReadBack ReadAll(TControllerLink& link) {
    TReadBack back;
    for (uint8_t i = 0; i < ParamCount; ++i) {
        const TLinkState state = Transact(link, [&link, i] { return link.SendReadParam(i); });
        if (state != lsDone) {
            back.failed = state;
            return back;
        }
        back.words[i] = link.Params()[i];
        back.read = i + 1;
    }
    return back;
}

TWriteBack WriteAll(TControllerLink& link, const TWords& words, EOnFailure onFailure) {
    TWriteBack back;
    for (uint8_t i = 0; i < ParamCount; ++i) {
        back.states[i] = Transact(link, [&link, i, &words] { return link.SendWriteParam(i, words[i]); });
        back.sent = i + 1;
        if (back.states[i] != lsDone && onFailure == EOnFailure::Stop) break;
    }
    return back;
}

QString WriteStep(int index) { return QStringLiteral("W%1").arg(index); }

bool TWriteBack::AllAccepted() const { return sent == ParamCount && FirstFailed() < 0; }

int TWriteBack::FirstFailed() const {
    for (int i = 0; i < sent; ++i)
        if (states[size_t(i)] != lsDone) return i;
    return -1;
}

QStringList TWriteBack::FailureLines() const {
    QStringList lines;
    for (int i = 0; i < sent; ++i)
        if (states[size_t(i)] != lsDone)
            lines << paramwords::Label(i) + QStringLiteral(": ") + FailureText(states[size_t(i)], WriteStep(i));
    return lines;
}

std::array<EHeld, ParamCount> Compare(const TWords& wanted, const TReadBack& back) {
    std::array<EHeld, ParamCount> held{};
    for (int i = 0; i < ParamCount; ++i) {
        const auto n = size_t(i);
        if (i >= back.read) held[n] = EHeld::NotRead;
        else held[n] = back.words[n] == wanted[n] ? EHeld::Same : EHeld::Different;
    }
    return held;
}

bool AllSame(const std::array<EHeld, ParamCount>& held) {
    for (EHeld h : held)
        if (h != EHeld::Same) return false;
    return true;
}

QString FailureText(TLinkState state, const QString& step) {
    switch (state) {
    case lsTimedOut: return QString::fromUtf8("Нет ответа: %1").arg(step);
    case lsRefused: return QString::fromUtf8("Команда %1 отклонена").arg(step);
    default: return QString::fromUtf8("Неверный ответ (%1)").arg(step);
    }
}

}  // namespace paramsync
