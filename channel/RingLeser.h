#pragma once
// The receiving side of the command ring: which slot the receiver reads next,
// when it waits there and when it walks on over a slot (docs/channel.md says
// the same for programs written elsewhere).
//
// The read index names the slot read next. A command found there is handed
// out and the index moves to the following slot at once: the receiver never
// stands on a slot it has emptied, so a sender that refills that slot while
// 99 older commands wait (a full ring) puts the newest command behind them,
// not in front.
//
// A slot without a command (empty, or a text that does not begin with
// "Befehl") is waited on while clsVRD4LetzteGesendete names that slot or the
// one before it, or, just after taking the slot before, the one before that
// (the sender has put the text in place but not yet its counter). Otherwise
// the sender went on elsewhere (after a restart of either side), and the
// receiver walks over the slot; it also walks on when the slot the counter
// names behind it holds text again (the sender began again behind it: a lap
// takes the receiver there, oldest first).
#include <cstdint>
#include <optional>
#include <string>

namespace vrd4::channel {

class RingLeser {
 public:
  enum class Art {
    Warten,     // nothing to take now
    Leer,       // an empty slot walked over: the next slot may be looked at
    Befehl,     // a command at `slot`; the index is already past it
    Fremdtext,  // a text that is no command at `slot`: to be shown, never taken
  };
  struct Fund {
    Art art;
    int32_t slot;
    std::u16string text;  // empty unless Befehl or Fremdtext
  };

  // Looks at the slot the index names: a few reads of the ring under the
  // lock, none when a look without the lock finds nothing changed since the
  // last wait. With nurBefehl a foreign text counts as Warten and decides
  // nothing (a step shows one only as its first look).
  // The caller runs a Befehl and empties its slot; the ring reader does not.
  Fund naechster(bool nurBefehl = false);

  // The slot read next, 0..99; 0 at the start.
  int32_t Lesezeiger() const { return lesezeiger_; }

  // What a look without the lock compares against: the slot waited on, and
  // the counter as read for that wait.
  struct Stand {
    int32_t slot = 0;
    int32_t gesendet = -1;
    std::u16string gesendetText;
  };
  // While the last answer was a wait decided by a guarded read: its stand.
  std::optional<Stand> wartestand() const;
  // A look without the lock, from any thread while the variables live: true
  // while neither the slot, nor the counter, nor the slot it names changed.
  static bool unveraendert(const Stand& s);

 private:
  // Whether to walk over slot `slot`, which holds no command (leer: nothing).
  bool weitergehen(int32_t slot, bool leer);

  int32_t lesezeiger_ = 0;
  int32_t genommen_ = -1;  // the slot of the command handed out last; -1 none
  // The last wait and the counter as read for it, so that an idle look can
  // tell without the lock that nothing has changed.
  bool wartet_ = false;
  Stand stand_;
};

}  // namespace vrd4::channel
