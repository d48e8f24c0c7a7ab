#pragma once
// The set of channel variables that a sending program and the receiver share:
// the command ring of 100 slots "VRD4Sendetexte0" … "VRD4Sendetexte99", its
// two counters, the reply, event, window-handle and stop variables.
//
// Creating the set (SpeichervariablenAnlegen) resets the ring and the start
// values; the contents live while at least one process holds the set and are
// gone when the last holder has ended, even if it was killed.
//
// Every accessor returns a usable object at any time: before
// SpeichervariablenAnlegen or after SpeichervariablenFreigeben it is an
// unmapped variable that reads as the empty text and ignores writes.
#include "channel/ClsVRD4Memory.h"

namespace vrd4::channel::modVRD4GlobaleVariablen {

inline constexpr int kAnzahlSendetexte = 100;

// Creates and initialises the whole set, once per process (later calls return
// at once until SpeichervariablenFreigeben).
void SpeichervariablenAnlegen();
// Releases the whole set, once per process.
void SpeichervariablenFreigeben();
bool angelegt();

ClsVRD4Memory& Sendetexte(int index);  // 0..99; out of range: unmapped dummy
ClsVRD4Memory& clsVRD4EmpfaengerGestartet();
ClsVRD4Memory& clsVRD4Event();
ClsVRD4Memory& clsVRD4Comport();
ClsVRD4Memory& clsVRD4Aktiv();
ClsVRD4Memory& clsVRD4AktivXVers();
ClsVRD4Memory& clsVRD4BlinktextNr();
ClsVRD4Memory& clsVRD4LauftextNr();
ClsVRD4Memory& clsVRD4AniGifNr();
ClsVRD4Memory& clsVRD4LaufvariableNr();
ClsVRD4Memory& clsVRD4KomFehler();
ClsVRD4Memory& clsVRD4SoftwareVersion();
ClsVRD4Memory& clsVRD4WriteSpeicher();
ClsVRD4Memory& clsVRD4ReadSpeicher();
ClsVRD4MemorySpeich& clsVRD4MemorySpeicher();
ClsVRD4Memory& clsVRD4ProgrammBeenden();
ClsVRD4Memory& clsVRD4AufrufFensterhandle();
ClsVRD4Memory& clsVRD4LetzteGesendete();
ClsVRD4Memory& clsVRD4LetzteGelesene();
ClsVRD4Memory& clsVRD4EventFensterHandle();

}  // namespace vrd4::channel::modVRD4GlobaleVariablen
