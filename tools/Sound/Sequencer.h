#ifndef KESTREL_TOOLS_SOUND_SEQUENCER_H
#define KESTREL_TOOLS_SOUND_SEQUENCER_H

// The content builder's sequencer: a song is a tempo, tracks of timed notes on synthesiser
// instruments or drums, and a mix (pan, reverb and echo sends). Scores are written with small
// pattern strings; rendering gives interleaved 16-bit stereo at 44100 Hz.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "Synth.h"

struct _seqNote {
    double beat, len; // start and gate, beats
    float note;       // MIDI note number (unused on drum tracks)
    float vel;        // 0..1
};

struct _seqTrack {
    const _synInstDef *inst = nullptr; // melodic track, or
    const _synDrumDef *drum = nullptr; // drum track
    float gain = 1, pan = 0, reverb = 0, delay = 0;
    float humanize = 0.05f; // random velocity spread
    std::vector<_seqNote> notes;
};

struct _seqSong {
    double bpm = 120;
    double beats = 0;           // length; the end of the last bar
    bool loop = false;          // tails wrap onto the start so that the loop point is seamless
    float revRoom = 0.6f, revDamp = 0.5f, revWet = 1.0f, revWidth = 0.25f;
    double delayBeats = 0.75;
    float delayFeedback = 0.35f, delayWet = 1.0f;
    float level = 0.9f;         // output peak relative to full scale
    float fixedGain = 0;        // when non-zero: this gain instead of scaling to the peak
    uint32_t seed = 1;
    std::deque<_seqTrack> tracks; // a deque: a score keeps references to its tracks while adding more

    _seqTrack &Add(const _synInstDef *aInst, float aGain, float aPan, float aReverb, float aDelay = 0);
    _seqTrack &AddDrum(const _synDrumDef *aDrum, float aGain, float aPan, float aReverb);
    long Samples(double aBeat) const { return (long)(aBeat * 60.0 / bpm * SYN_RATE + 0.5); }
};

// Tokens and chord names that the pattern functions could not read since the program started;
// the builder refuses to write a score that has any.
extern int seqBadTokens;

// Note number of a name such as "C4", "F#3", "Bb5" (C4 = 60); -1 when it is not a note.
int sSeqNoteNum(const char *aName);

// A melody line: whitespace-separated tokens, one per step of aStep beats. A note name starts a
// note, "-" holds the previous one a step longer, "." is a rest, "|" is ignored; a note may end
// in "!" (accent) or "?" (soft). Returns the beats the line covers.
double sSeqLine(_seqTrack &aTrack, double aBeat, double aStep, const char *aPattern, float aVel = 0.8f,
                int aTranspose = 0);

// Drum hits: one character per step: "X" accent, "x" hit, "o" ghost, anything else nothing
// ("|" and spaces are skipped and take no step). Returns the beats covered.
double sSeqHits(_seqTrack &aTrack, double aBeat, double aStep, const char *aPattern, float aVel = 0.8f);

// Chord tones of a name such as "Am", "F#m7", "Cmaj7", "Gsus4", "D5", "Bdim", "Eadd9", "Am9", rooted
// in aOctave (C4 = octave 4). Returns the count written to aOutP (at most 6).
int sSeqChordTones(const char *aName, int aOctave, int *aOutP);

// The chord's tones held together.
void sSeqChord(_seqTrack &aTrack, double aBeat, double aLen, const char *aName, int aOctave, float aVel);
// Arpeggio over the chord: aOrder lists tone indices (0-9, "+" raises the next one an octave),
// repeated every aStep beats for aLen beats.
void sSeqArp(_seqTrack &aTrack, double aBeat, double aLen, double aStep, const char *aName, int aOctave,
             const char *aOrder, float aVel, double aGate = 0.9);
// Bass figure over the chord: "r" root, "o" octave, "f" fifth, "t" third, "-" hold, "." rest,
// one character per step, repeated for aLen beats.
void sSeqBass(_seqTrack &aTrack, double aBeat, double aLen, double aStep, const char *aName, int aOctave,
              const char *aFigure, float aVel);

// Renders the song to interleaved stereo (L, R, L, R ...). The file starts and ends in digital
// silence so that a stream's decoder state returns to its start at the loop point.
void sSeqRender(const _seqSong &aSong, std::vector<int16_t> &aPcmOut);

#endif
