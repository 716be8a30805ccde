#ifndef KESTREL_TOOLS_SOUND_MUSIC_H
#define KESTREL_TOOLS_SOUND_MUSIC_H

// The program's music ("00.kss" ... "06.kss") and sound effects ("s00.kss" ... "s09.kss").

#include <cstdint>
#include <vector>

#include "Sequencer.h"

enum { MUSIC_NUM = 7, EFFECT_NUM = 10 };

// The score of music piece aNum (0..6).
void sMusicSong(int aNum, _seqSong &aSong);
// A short description of the piece, for the builder's log.
const char *sMusicTitle(int aNum);

// Effect aNum (0..9) as mono 16-bit samples at 44100 Hz (an even count, starting and ending at 0).
void sMusicEffect(int aNum, std::vector<int16_t> &aPcmOut);
const char *sMusicEffectTitle(int aNum);

#endif
