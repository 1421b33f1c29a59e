// The six parameter words over the link, without a window: read in order,
// written in order as the window's "Задать" does, and compared after a write.
// A step first lets a transaction another caller has under way (a
// measurement poll) end. A lost line raises ELinkLost out of the waits. Main
// thread (the link's).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

#include "link/ControllerLink.h"
#include "link/ParamWords.h"

namespace paramsync {

using TWords = std::array<uint16_t, paramwords::ParamCount>;

struct TReadBack {
    TWords words{};
    int read = 0;                  // words read, from #1 on; all six when complete
    TLinkState failed = lsDone;    // how the first unread one ended
    bool Complete() const { return read == paramwords::ParamCount; }
    QString FailedStep() const;    // "R2": the read that failed
};

// Sends once the link is free: a transaction under way (a measurement poll)
// ends first. Its own reply is not waited for.
void SendWhenFree(TControllerLink& link, const std::function<bool()>& send);

// Reads #1 to #6, stopping at the first read that does not end accepted.
TReadBack ReadAll(TControllerLink& link);
// How the writes ended, from #1 on.
struct TWriteBack {
    std::array<TLinkState, paramwords::ParamCount> states{};
    int sent = 0;  // writes sent; all six unless the writes stopped at a failure
    bool AllAccepted() const;
    // The first write that did not end accepted, -1 when all did.
    int FirstFailed() const;
    // One line per write that failed: "Kp (#3): Команда W2 отклонена".
    QStringList FailureLines() const;
};

// Whether the writes go on after one that failed (as "Задать" does: each
// parameter is its own) or stop there (nothing after a refusal).
enum class EOnFailure { GoOn, Stop };

// Writes the words in order, each once the link is free (a measurement poll
// under way ends first).
TWriteBack WriteAll(TControllerLink& link, const TWords& words, EOnFailure onFailure = EOnFailure::GoOn);
// "W2": the write of word `index`, as a failure names it.
QString WriteStep(int index);

// Whether the controller holds a word: it was read back and equals it.
enum class EHeld { Same, Different, NotRead };
std::array<EHeld, paramwords::ParamCount> Compare(const TWords& wanted, const TReadBack& back);
bool AllSame(const std::array<EHeld, paramwords::ParamCount>& held);

// One transaction once the link is free, its reply awaited.
TLinkState Transact(TControllerLink& link, const std::function<bool()>& send);

// What a write of the six came to: the writes, the read-back, and the bank
// save, which is sent only when every write was taken and every word is held.
enum class EBankSave { NotAsked, Saved, Failed, NotAllWritten, NotHeld };
struct TStored {
    TWriteBack writes;
    std::optional<TReadBack> back;  // none: the writes stopped at a failure
    EBankSave bank = EBankSave::NotAsked;
    TLinkState saveState = lsDone;  // how the save ended, when it was sent
    // The read-back is complete and equals every word.
    bool Held(const TWords& wanted) const;
    // Every write taken, every word held, the bank saved when asked.
    bool Fine(const TWords& wanted) const;
};

// Writes, reads back (by `readBack`, ReadAll when none) and saves in `bank`
// when asked and all went well: the one sequence the window's file load and
// servo-cli's params set share.
TStored WriteVerifySave(TControllerLink& link, const TWords& wanted, std::optional<uint8_t> bank,
                        EOnFailure onFailure, const std::function<TReadBack()>& readBack = {});

// "Нет ответа: R2", "Команда R2 отклонена", "Неверный ответ (R2)".
QString FailureText(TLinkState state, const QString& step);

}  // namespace paramsync
