/*
 * talvox: annotation, analysis, editing and pitch-synchronous resynthesis of
 * recorded speech, segmented syllable by syllable.
 *
 * The library keeps ONE speech document per process and every function works
 * on it without a handle: call it from one thread at a time.
 *
 * The typical road:
 *
 *   InitWaveFileProc(); InitTalvox(); InitSpeechBackup();
 *   ReadWaveFile(1, "speech.wav", 0, 0);           // header + channel arrays
 *   int16_t *x = GetDataBuffer(0);
 *   CalculatePitch(x, GetWaveLength(), GetSamplesPerSec());
 *                                                  // elements, peaks, periods
 *   int32_t *peaks; int32_t n = GetFullPeaks(&peaks);
 *   SetElementDesc(1, "ma3");                      // annotate an element
 *   int32_t *periods; GetFullModifiedPitch(&periods);
 *   for (int32_t i = 0; i + 1 < n; i++) periods[i] = periods[i] * 2 / 3;
 *   int32_t s, e; GetElementSegment(1, &s, &e);
 *   SynthesisSpeech(0, s, e);                      // a fifth higher
 *   int16_t *y = GetSynthesisSpeech(); int32_t ylen = GetSynthesisLength();
 *   SavePeaks("speech.peaks");
 *   FreeSpeechBackup(); FreeTalvox(); FreeWaveFileProc();
 *
 * Conventions: results are 1 for success and 0 for refusal; searches return
 * -1 when they find nothing. Positions, lengths and counts are samples per
 * channel, 0-based. Pointers returned by Get... functions point into the
 * library's own buffers: never free them; they stay valid until the next call
 * that reallocates or releases that buffer (named at each function).
 * Buffers the host passes in stay the host's.
 *
 * Arithmetic is fixed to the bit: every float/double operation, truncation
 * and 16-bit wrap documented below is part of the result.
 */
#ifndef TALVOX_H
#define TALVOX_H

#include <stdint.h>

#if defined(_WIN32)
#define TVX_API __declspec(dllexport)
#else
#define TVX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- records */

/* One element of the segmentation: 112 bytes, also the on-disk record.
 * desc is zero-terminated (at most 103 characters); "SIL" marks silence.
 * The element covers samples start <= p < end. */
typedef struct {
  char desc[104];
  int32_t start;
  int32_t end;
} TvxElement;

#if defined(__GNUC__) || defined(__clang__)
#define TVX_PACKED __attribute__((packed))
#else
#define TVX_PACKED
#endif

/* The canonical 44-byte WAV header, little-endian, byte for byte as in a
 * file. GetWaveFileHead returns the library's copy. */
typedef struct TVX_PACKED {
  char riff[4];
  uint32_t riffSize;
  char wave[4];
  char fmt[4];
  uint32_t fmtSize;
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
  char data[4];
  uint32_t dataSize;
} TvxWaveHeader;

/* The document-state record. The underscore peak-file functions take a
 * pointer to such a record; a host may pass its own, whose peaks and
 * modifiedPitch must then be NULL or come from malloc (the reader reallocates
 * them) and whose elements must hold elementCapacity records. */
typedef struct {
  TvxElement *elements;
  int32_t elementCount;
  int32_t *peaks;
  int32_t *modifiedPitch;
  int32_t peakCount;
  int32_t peakRate;
  int32_t elementCapacity;
  int32_t segmented;
  uint8_t *spectrum;
  int32_t spectrumFrames;
} TvxDocument;

/* ------------------------------------------------------------- lifecycle */

/* Sets up the document: element table of 10000 zeroed records, peak table
 * of 100000 entries, all counts 0, segmentation flag 0. A document that is
 * already set up is released first, so calling it twice leaks nothing.
 * Memory that cannot be allocated aborts the process with a message. */
TVX_API void InitTalvox(void);
/* Releases the document's tables, output signal and energy contour; safe on
 * a cleared document and twice in a row. Leaves the wave buffer and the
 * speech clipboard alone. */
TVX_API void FreeTalvox(void);
/* Releases a block that the library allocated for the host. Never pass a
 * buffer of the document, the wave buffer or the clipboard. NULL is ignored. */
TVX_API void FreeMem(void *block);
/* Empties the speech clipboard (releasing an earlier copy). */
TVX_API void InitSpeechBackup(void);
/* Releases the speech clipboard's buffers and empties it. */
TVX_API void FreeSpeechBackup(void);

/* ------------------------------------------------------------ wave buffer */

/* Empty mono signal with the default header (16000 Hz, 16 bits); arrays set
 * to NULL without release. Returns 1. */
TVX_API int32_t InitWaveFileProc(void);
/* Releases the channel arrays and the interleaved copy; header unchanged. */
TVX_API void FreeWaveFileProc(void);
/* FreeWaveFileProc then InitWaveFileProc. Returns 1. */
TVX_API int32_t NewWave(void);
/* The library's 44-byte header; valid for the library's lifetime. */
TVX_API TvxWaveHeader *GetWaveFileHead(void);
/* data size / (2 x channel count); 0 when the channel count is 0. */
TVX_API int32_t GetWaveLength(void);
/* Sets data size := length x 2 x channels, in 32 unsigned bits (a negative
 * or huge length wraps). Only the header changes: the
 * library never reads or writes channel arrays beyond the samples they
 * really hold, whatever length the header claims. */
TVX_API void SetWaveLength(int32_t length);
TVX_API int32_t GetSamplesPerSec(void);
TVX_API int32_t GetAvgBytesPerSec(void);
TVX_API uint16_t GetBlockAlign(void);
TVX_API uint16_t GetChannels(void);
/* Changes only the channel-count field. With 0 channels the length reads 0;
 * with 3 or more the files refuse to be written (SaveWaveFile gives 0) and
 * nothing reads past the two channel arrays. */
TVX_API void SetChannels(uint16_t count);
TVX_API uint16_t GetBitsPerSample(void);
/* index 0 or 1: that channel array (NULL if absent), writable in place up to
 * GetWaveLength() samples; valid until the next read, SetDataBuffer,
 * PasteWave, speech edit or FreeWaveFileProc.
 * index 2: an interleaved copy of a two-channel signal (2 x length samples
 * followed by zeros); NULL for a one-channel signal. Valid until the next
 * GetDataBuffer(2) or FreeWaveFileProc.
 * Negative index or 3 and above: NULL. */
TVX_API int16_t *GetDataBuffer(int32_t index);
/* Replaces channel index (0 or 1) with count samples, or with index 2 both
 * channels from count interleaved frames. Sets data size and RIFF size; the
 * channel count is not changed. 0 when count <= 0, samples is NULL, index
 * is outside 0..2, or count passes (2^31 - 1) / 2 samples (index 0, 1) or
 * (2^31 - 1) / 4 frames (index 2), the most whose byte count fits 31 bits
 * (nothing changes). */
TVX_API int32_t SetDataBuffer(int32_t index, const int16_t *samples, int32_t count);
/* Removes samples start..end inclusive from every channel. end >= length
 * truncates the signal to start samples. Returns 0 and changes nothing when
 * start < 0, start > end or start >= length. */
TVX_API int32_t CutWave(int32_t start, int32_t end);
/* Inserts count samples of channels[i] into channel i at position (position
 * = length appends). Returns 0 and changes nothing when position < 0,
 * position > length, count < 0, channels is NULL or a needed channel pointer
 * is NULL. count 0 returns 1 and changes nothing. */
TVX_API int32_t PasteWave(int32_t position, int16_t **channels, int32_t count);

/* -------------------------------------------------------------- WAV files */

/* mode 1: a WAV file. RIFF chunks are walked (LIST, fact, ... skipped); the
 * fmt chunk may be 16, 18 or 40 bytes, PCM (tag 1) or extensible with the PCM
 * sub-format, 16 bits, 1 or 2 channels; the data chunk may stand anywhere.
 * The in-memory header is filled as the canonical 44-byte header of what was
 * found (RIFF size = data size + 36), so a canonical file saved with mode 1
 * comes back byte for byte. The data size is cut to the whole frames the
 * file really holds (a data chunk claiming more bytes is read as far as the
 * file goes). Anything else (not RIFF/WAVE, not 16-bit PCM, 0 or more than 2
 * channels, no fmt or data chunk) returns 0 with the wave buffer exactly as
 * it was. New channel arrays replace the old ones: earlier GetDataBuffer
 * pointers become invalid.
 * Any other mode: a headerless file of 16-bit little-endian mono samples,
 * described with rate and bits (data size = file length; channel 1 is left
 * as it was).
 * Both return 0, with nothing changed, for a file that cannot be opened or
 * read, is empty, or is 2 GiB or larger. */
TVX_API int32_t ReadWaveFile(int32_t mode, const char *path, int32_t rate, int32_t bits);
/* mode 1: header + whole signal; 2: whole signal raw (interleaved frames for
 * two channels); 3: header + samples start..start+count-1; 4: channel 0's
 * samples start..start+count-1 raw; other modes: an empty file.
 * Mode 1 sets the in-memory RIFF size to data size + 36; mode 3 writes a
 * copy of the header with its own sizes. Samples the header counts but the
 * channel arrays do not hold (after SetWaveLength) are written as zeros.
 * The file is written to a temporary file in the same folder and renamed
 * into place (a new file replaces an existing one of that name).
 * Returns 1 when the file was written completely, 0 when it cannot be
 * created or a write fails (no partial file is left, an existing file keeps
 * its contents), 0 for modes 1-4 when the channel count is not 1 or 2, and 0
 * without creating anything for modes 3 and 4 when start < 0, count < 0 or
 * the range runs past the signal. */
TVX_API int32_t SaveWaveFile(int32_t mode, const char *path, int32_t start, int32_t count);

/* ---------------------------------------------------------------- elements */

/* Element count. Without a document (before InitTalvox, after FreeTalvox)
 * every element function behaves as on an empty table. */
TVX_API int32_t GetElementNum(void);
/* 1 and the element's bounds (each pointer may be NULL); 0 for an index
 * outside 0..count-1. */
TVX_API int32_t GetElementSegment(int32_t index, int32_t *start, int32_t *end);
/* Moves the start (which = 1) or end (which = 2) of an element and its
 * neighbour's adjoining boundary, clamped. 0 for an index outside
 * 0..count-1 or another which. */
TVX_API int32_t SetElementSegment(int32_t index, int32_t position, int32_t which);
/* One element from 0 to the sample length; description unchanged. */
TVX_API void SetFullSegmentation(void);
/* Removes elements with start >= end; none left: SetFullSegmentation. */
TVX_API void TidyElements(void);
/* Splits the element that strictly contains position. 0 when none does, or
 * when the table already holds 10000 elements. */
TVX_API int32_t AddBoundary(int32_t position);
/* Merges element index with its left (which = 1) or right (2) neighbour.
 * 0 for an index outside 0..count-1, otherwise 1. */
TVX_API int32_t DelBoundary(int32_t index, int32_t which);
/* The element whose boundary lies within 5 pixels (5.0 / scale samples,
 * truncated) of position, its side (1 start, 2 end) written through side
 * (which may be NULL; written only when a boundary is found). -1 when none,
 * and for scale <= 0 or not a number. */
TVX_API int32_t GetNearestElementBoundary(int32_t position, int32_t *side, float scale);
/* Index of the element holding position (the last element also holds its
 * end), or -1. */
TVX_API int32_t GetElement(int32_t position);
/* Copies the description (with its zero) into text, which holds at least 104
 * bytes. 0 for a bad index or NULL text. */
TVX_API int32_t GetElementDesc(int32_t index, char *text);
/* Sets the description; a text of 104 characters or more is cut to its first
 * 103. 0 for a bad index or NULL text. */
TVX_API int32_t SetElementDesc(int32_t index, const char *text);

/* --------------------------------------------------------------- tag files */

/* Reads a peak or tag file (kinds 2 and 3) into the host's buffers without
 * touching the document. peaks must hold the file's peak count and elements
 * its element count; elements and elementCount may be NULL (records are
 * written only when both are given). Kind 3 writes whole records (a
 * description without its zero is cut to 103 characters); kind 2 writes only
 * start and end, the host's texts stay. Returns 0, and writes nothing at
 * all, for NULL peaks or peakCount, a file that cannot be opened, a wrong
 * type text ("Tag File" or "Peaks File", zero-terminated within 20 bytes),
 * another kind, negative counts, more than 100000 peaks or 10000 elements,
 * or a file shorter than its header announces. */
TVX_API int32_t LoadTag(const char *path, int32_t *peaks, int32_t *peakCount,
                        TvxElement *elements, int32_t *elementCount);

/* ------------------------------------------------------------------ peaks */

/* Index of the peak within 5.0 / scale samples (truncated) of position, the
 * lower one on ties, or -1 (also for a scale <= 0 or not a number). */
TVX_API int32_t GetClosedPeak(int32_t position, float scale);
/* The largest sample near position on channel 0 or 1; the position itself
 * when no larger one is near; -1 for position >= length, a channel other
 * than 0 or 1, or a channel without samples. The window is clipped to the
 * signal. */
TVX_API int32_t GetClosedMaximumPeak(int32_t position, int32_t channel);
/* A zero crossing near position; the position itself when none, and for
 * position > length - 10 whatever the channel; otherwise -1 for a channel
 * other than 0 or 1 or without samples. Clipped to the signal. */
TVX_API int32_t GetClosedZerocross(int32_t position, int32_t channel);
/* Deletes the peak within tolerance (as GetClosedPeak); 1 and its position
 * through removed (may be NULL), else 0 (also for a scale <= 0 or not a
 * number). The modified pitch is not shifted. */
TVX_API int32_t DeletePeak(int32_t position, int32_t *removed, float scale);
/* Inserts a peak, keeping the table ascending (a position below every peak
 * goes first). 0 for a position that is already a peak. The peak table and
 * the modified pitch both keep room for the new count; the periods are not
 * shifted. Invalidates pointers into the peak table and modified pitch. */
TVX_API int32_t AddPeak(int32_t position, int32_t *added);
TVX_API void DeleteAllPeak(void);
/* Deletes every peak p with from <= p <= to. */
TVX_API void DeleteRangePeak(int32_t from, int32_t to);
/* Moves every peak to a zero crossing at or before it, then recomputes the
 * modified pitch. samples/count are the host's (normally channel 0 and the
 * length); nothing happens for NULL samples or count < 2; peaks at or past
 * count are left alone. */
TVX_API void AdjustPeakToZerocross(const int16_t *samples, int32_t count);
/* Moves every peak to a local maximum at or after it, then recomputes the
 * modified pitch. Same argument rules as AdjustPeakToZerocross. */
TVX_API void AdjustZerocrossToPeak(const int16_t *samples, int32_t count);
/* Peaks with start <= p < end of the element; *peaks points into the peak
 * table at the first of them, or NULL when none (0 and NULL also for an
 * element index outside 0..count-1). peaks may be NULL. */
TVX_API int32_t GetElementPeak(int32_t element, int32_t **peaks);
/* Peaks in the element minus 1; *periods points into the modified pitch at
 * the element's first peak, or NULL (result 0) when the element holds no
 * peak. */
TVX_API int32_t GetElementModifiedPitch(int32_t element, int32_t **periods);
/* Peak count; *peaks receives the peak table (may be NULL when 0). */
TVX_API int32_t GetFullPeaks(int32_t **peaks);
/* Peak count - 1 (0 when there are no peaks); *periods receives the
 * modified pitch (NULL when there is none). */
TVX_API int32_t GetFullModifiedPitch(int32_t **periods);
/* Copies peak count - 1 periods (the modified pitch grows to the peak count
 * if it is shorter). 0 for NULL. */
TVX_API int32_t SetModifiedPitch(const int32_t *periods);
/* 1 with the nearest peak's position and index (pointers may be NULL); 0
 * for position >= length, or no peaks (peak := -1). */
TVX_API int32_t GetNearestPeak(int32_t position, int32_t *peak, int32_t *index);
/* 1 with the period at the nearest peak; 0 when GetNearestPeak fails or
 * there is only one peak (no interval to measure). */
TVX_API int32_t GetNearestPitch(int32_t position, int32_t *period);

/* ----------------------------------------------------------- segmentation */

/* Rewrites the element table as alternating "SIL" and voiced elements and
 * sets the segmentation flag; returns the element count. Voiced elements
 * keep the description their slot held. 0 elements for NULL samples,
 * length <= 48, a rate below 50 Hz or at or below 4000 Hz (the 2000 Hz
 * design cannot serve it), or no loud frame; only NULL samples, length <= 0
 * and those rates leave the filter state untouched. Any number of voiced
 * regions; more elements than the table holds: they stop at 10000, the last
 * one running to the end of the signal. */
TVX_API int32_t SegmentSpeech(const int16_t *samples, int32_t length, int32_t sampleRate);

/* ------------------------------------------------------------ pitch marks */

/* Pitch marks from the external program pap.exe (found on PATH), run in
 * the current directory with the working files temp.wav, pitch.psc and
 * temp.pointprocess, which are removed afterwards (files of those names are
 * overwritten, then deleted). The call waits for the program to end. Each
 * reported time t becomes trunc(sampleRate * t) and moves onto the largest
 * positive half-wave area of the signal within half a local period; a mark
 * equal to the one before is dropped, and marks are kept in the order of
 * the times (not sorted). Fills the document like CalculatePitch: segments
 * while unsegmented, peak table with room for max(100000, count) entries,
 * modified pitch from the marks. Returns the peak count.
 * 0 marks, and no working files left, when pap.exe is missing, fails or
 * writes nothing, or when temp.wav cannot be created (the program is then
 * not launched). Anything but a regular file at one of the three names (a
 * symbolic link, a device, a pipe, a folder) is not the library's: 0 marks,
 * the program is not launched and nothing is written through, read from or
 * removed at any of the names; afterwards only regular files are removed. A
 * temp.pointprocess left from before is removed ahead of the launch. Calls
 * sharing a current directory (threads or processes) take turns through a
 * lock on that directory. The program is killed when the calling thread's
 * process dies. NULL samples, length <= 0 or sampleRate <= 0: 0 and the
 * document is left as it was.
 * Point-process text: every time is kept (no limit of 100000); lines and
 * words of any length are read whole (an over-long first or third word
 * simply does not match "t" or "=", so its line is ignored); a time whose
 * sample position is not a number or does not fit 32 bits is dropped; with
 * a single time its mark stays at R[0]; times that do not ascend give an
 * empty window and keep their position. Not reentrant. */
TVX_API int32_t CalculatePeak(const int16_t *samples, int32_t length, int32_t sampleRate);
/* As CalculatePeak into the host's array, leaving the document alone. The
 * array must hold one entry per pulse the program reports; with peaks NULL
 * only the count is returned (a second call runs the program again). The
 * same refusals as CalculatePeak (0, peaks untouched). */
TVX_API int32_t _CalculatePeak(const int16_t *samples, int32_t length, int32_t sampleRate,
                               int32_t *peaks);
/* Internal algorithm: segments first while the document is unsegmented,
 * then one mark per strong positive half-wave of the signal low-passed at
 * 300 Hz; fills peaks and modified pitch; returns the peak count (the table
 * grows past 100000 as needed). 0 for NULL samples, length <= 0 or a rate
 * at or below 600 Hz: the document then holds no peaks. The filter state
 * left by earlier filtering is part of the result. */
TVX_API int32_t CalculatePitch(const int16_t *samples, int32_t length, int32_t sampleRate);
/* The marks into the host's array (NULL: count only). */
TVX_API int32_t _CalculatePitch(const int16_t *samples, int32_t length, int32_t sampleRate,
                                int32_t *peaks);

/* ---------------------------------------------------------- voice analysis */

/* The voice tracker: voicing and F0 by normalised cross-correlation on a
 * copy at about 4 kHz with a Viterbi search over period candidates, then one
 * mark per glottal cycle at its main excitation (the glottal closure), picked
 * from the linear-prediction residual by dynamic programming guided by the
 * F0. The marks keep their place whatever the polarity, level and rate.
 * floorHz and ceilingHz limit the F0 searched; both 0 choose the speaker's
 * range from the signal (a wide first search over 50..600 Hz, then one
 * inside the bulk of its F0 distribution); floorHz 0 with a ceiling searches
 * from 50 Hz up to it; floors below 20 Hz are searched from 20 Hz.
 * Bad arguments, for every function below: NULL samples, length <= 0, a
 * rate outside 4000..384000, negative or non-finite limits, or floorHz >=
 * ceilingHz other than both 0: the result is 0 and nothing changes. The
 * samples are only read; the work memory is released before returning. */

/* Rewrites the element table as alternating "SIL" and voiced elements from
 * the tracker's voicing (the element convention of SegmentSpeech: voiced
 * elements keep their slot's description; pauses under 30 ms stay inside a
 * voiced element), covering exactly 0..length; a signal without voicing is
 * one "SIL" element. Sets the segmentation flag; returns the element count
 * (more than the table holds: they stop at its capacity, the last one
 * running to the end). 0 and nothing changed before InitTalvox. */
TVX_API int32_t SegmentVoice(const int16_t *samples, int32_t length, int32_t sampleRate,
                             float floorHz, float ceilingHz);
/* The element table of SegmentVoice from the host's marks instead of the
 * tracker's: marks[0..count-1] ascending, distinct and within 0..length-1
 * (those of _CalculateVoiceMarks give SegmentVoice's elements), so a host
 * that has the marks of a longer signal segments any stretch of it without
 * tracking it again. 0 and nothing changed for count < 0, NULL marks with
 * count > 0, length <= 0, a rate outside 4000..384000, marks out of order or
 * outside the signal, or before InitTalvox. */
TVX_API int32_t _SegmentVoiceMarks(const int32_t *marks, int32_t count, int32_t length,
                                   int32_t sampleRate);
/* The document update of CalculatePitch with the voice tracker: segments
 * with SegmentVoice while the segmentation flag is 0, records sampleRate as
 * the peak rate, replaces the peak table with one of exactly the mark count
 * (the marks ascending and distinct, within 0..length-1) and sets the
 * modified pitch to the distances between neighbouring marks (its last entry
 * 0). Returns the mark count. */
TVX_API int32_t CalculateVoiceMarks(const int16_t *samples, int32_t length, int32_t sampleRate,
                                    float floorHz, float ceilingHz);
/* The marks into the host's array, leaving the document alone: returns how
 * many there are and writes at most capacity of them (capacity 0 with peaks
 * NULL asks for the count). 0 also for capacity < 0 or NULL peaks with
 * capacity > 0. */
TVX_API int32_t _CalculateVoiceMarks(const int16_t *samples, int32_t length, int32_t sampleRate,
                                     float floorHz, float ceilingHz, int32_t *peaks,
                                     int32_t capacity);
/* F0 in Hz per frame of hop samples, frame i centred at sample i * hop, 0
 * where unvoiced; returns the frame count, (length - 1) / hop + 1, and
 * writes at most capacity values into f0. 0 also for hop <= 0,
 * capacity < 0 or NULL f0 with capacity > 0. */
TVX_API int32_t _CalculateF0Track(const int16_t *samples, int32_t length, int32_t sampleRate,
                                  float floorHz, float ceilingHz, int32_t hop, float *f0,
                                  int32_t capacity);

/* ------------------------------------------------------------- peak files */

/* Stores peaks, modified pitch and elements (kind 3; SavePeaks first sets
 * the document's peak rate to the wave buffer's rate) through a temporary
 * file renamed into place: 1, or 0 when it cannot be written (an existing
 * file is then left as it was). Periods the record does not hold (no
 * modified pitch) are written as 0. _SavePeaks: 0 for a NULL record,
 * negative counts, more elements than elementCapacity, or a count without
 * its table. */
TVX_API int32_t SavePeaks(const char *path);
TVX_API int32_t _SavePeaks(const char *path, TvxDocument *state);
/* Loads a kind 3 or kind 2 file into the document. The whole file is checked
 * before anything changes: 0 and nothing changed for a missing file, a wrong
 * type text (it must be zero-terminated within its 20 bytes), negative
 * counts, more elements than the table holds, or a file shorter than its
 * header announces. Another kind returns 0 after replacing only the peak
 * sampling rate. On success the peak table holds exactly the peak count
 * (none for 0), the modified pitch as many entries with the last one 0 (kind
 * 2: the distances between the peaks), elements 0..count-1 are replaced
 * (kind 2: bounds only; descriptions without a zero are cut to 103
 * characters) and the segmentation flag is set. Pointers into the peak
 * table and modified pitch are invalidated. _ReadPeaks on a host record
 * reallocates its peaks and modifiedPitch with realloc. */
TVX_API int32_t ReadPeaks(const char *path);
TVX_API int32_t _ReadPeaks(const char *path, TvxDocument *state);

/* -------------------------------------------------------- point filtering */

/* Centred moving average of window values (the exact sum of 2*(window/2)+1
 * values divided by window, truncated, low 16 bits kept as a signed value);
 * the first and last window/2 values are copied. src and dst hold count
 * values each and must not overlap. Returns 1 (also for count 0); 0 for
 * NULL arrays, window <= 0 or count < 0 (nothing written). */
TVX_API int32_t FilterInPoints(const int32_t *src, int32_t *dst, int32_t count, int32_t window);
/* FilterInPoints on every run of values above 50; gaps become 0. Same
 * refusals. */
TVX_API int32_t FilterPitch(const int32_t *src, int32_t *dst, int32_t count, int32_t window);

/* ----------------------------------------------------------------- editing */

/* Copy, delete, cut and paste samples a..b (either order, both included)
 * with elements, peaks, modified pitch and spectrum frames kept in step.
 * 0 and nothing changed when a = b, a position lies outside the signal or the
 * segmentation, a paste would exceed 10000 elements, or the clipboard's
 * channel count differs from the signal's. PasteSpeech: 0 for an empty
 * clipboard. The whole edit is checked before anything changes. The
 * modified pitch keeps room for the peak count; spectrum frames are moved
 * only where the spectrum buffer holds them. Peaks moved by an edit wrap in
 * 32 bits and element bounds saturate, so extreme values read from a file
 * never overflow. Pointers into the peak table, modified pitch, spectrum and
 * channel arrays are invalidated. */
TVX_API int32_t CopySpeech(int32_t a, int32_t b);
TVX_API int32_t DelSpeech(int32_t a, int32_t b);
TVX_API int32_t CutSpeech(int32_t a, int32_t b);
TVX_API int32_t PasteSpeech(int32_t a, int32_t b);
/* Concatenates the elements overlapping start..end of a channel, each "SIL"
 * element replaced by silence of half its length, into the output signal.
 * Pieces are clipped to their elements. 0 and nothing changed for
 * start >= end, start < 0, end >= length, no elements, a channel other than
 * 0 or 1 or one without samples. */
TVX_API int32_t CollectSegmentedSpeech(int32_t channel, int32_t start, int32_t end);
/* The output signal (shared with SynthesisSpeech); valid until the next
 * collection, synthesis or FreeTalvox. */
TVX_API int16_t *GetCollectSegmentedSpeech(void);
TVX_API int32_t GetCollectSegmentedSpeechLength(void);

/* ------------------------------------------------------------- resynthesis */

/* Pitch-synchronous overlap-add of samples start..end-1 of a channel with
 * the modified pitch. 0 and nothing changed for start >= end, start < 0,
 * end >= length, no elements, a channel other than 0 or 1 or one without
 * samples. The output length is the last new mark plus the stretch after
 * the last source mark, clipped to 0..(end - start + 100000); grain samples
 * that would land outside it are dropped. Without a period for a selected
 * interval (the modified pitch shorter than the peak table) the source
 * distance is used. Selection stops at a peak below its predecessor. */
TVX_API int32_t SynthesisSpeech(int32_t channel, int32_t start, int32_t end);
/* The output signal; valid until the next synthesis, collection or
 * FreeTalvox. NULL before the first. */
TVX_API int16_t *GetSynthesisSpeech(void);
TVX_API int32_t GetSynthesisLength(void);
/* Resynthesis with the modified pitch that keeps, or sets, the timing.
 * Output marks step along the output time by the modified period of the
 * source interval they stand for; each takes the grain (from the previous
 * source mark to the next) of the source mark nearest to its place mapped
 * back to source time, so grains are repeated or skipped as the pitch and
 * the timing ask. A mark distance above 1/40 s is a gap, not a period;
 * stretches without such periods (before the first mark, after the last,
 * gaps) are time-scaled by overlap-add of fixed 4 ms half-grains taken at
 * the mapped-back place, which at duration scale 1 copies them unchanged.
 * Periods are whole samples, so where the modified pitch differs from the
 * marks' distances (or the timing changes) each step is read at its mark
 * from a line fitted to the periods near it (within the rounding, up to six
 * marks on each side, weighted down with their distance), and a moved grain
 * is laid at that fractional place by cubic interpolation, its pulse placed
 * by the waveform's own cycle spacing (at most 1.5 samples from its mark): a
 * pitch between two whole periods comes out even, not as jitter, and a
 * glide is followed to the ends of its run. Grains are summed in floating point and rounded, so with duration
 * scale 1 and the modified pitch equal to the marks' distances the output
 * equals the input sample for sample. Modified periods are held within
 * 1..1/20 s;
 * a missing period (modified pitch shorter than the peak table) is the
 * source distance. The output lasts exactly (end - start) x durationScale
 * samples, rounded (at least 1), and goes to the output signal
 * (GetSynthesisSpeech, GetSynthesisLength). 0 and nothing changed for the
 * refusals of SynthesisSpeech, or a durationScale not finite, <= 0 or
 * above 8, or an output longer than 2^31 - 1 samples. */
TVX_API int32_t SynthesisSpeechStretch(int32_t channel, int32_t start, int32_t end, float durationScale);
/* As SynthesisSpeechStretch with a piecewise-linear time map through
 * (0, 0), the count pairs (sourcePoints[i], outputPoints[i]), positions
 * relative to start, and the range end: the stretch after the last pair
 * keeps its length, unless the last source point is the range length
 * (end - start), whose output point is then the output length. The host
 * keeps both arrays; they are only read. 0 and nothing changed, beside the
 * refusals of SynthesisSpeech, for count < 0, a NULL array with count > 0,
 * points not strictly ascending on both sides from (0, 0), a source point
 * beyond end - start or reaching it before the last pair, or an output
 * longer than 2^31 - 1 samples. */
TVX_API int32_t SynthesisSpeechMapped(int32_t channel, int32_t start, int32_t end,
                                      const int32_t *sourcePoints, const int32_t *outputPoints,
                                      int32_t count);

/* -------------------------------------------------------- FFT and windows */

/* In-place radix-2 complex FFT, direction 0 forward (unscaled), anything
 * else inverse (scaled by 1/n). Returns 1; n <= 0 leaves the arrays alone
 * and returns 1; n not a power of two, or a NULL array with n > 0, leaves
 * them alone and returns 0. */
TVX_API int32_t fft(float *re, float *im, int32_t direction, int32_t n);
/* Hann window in place: x[i] = trunc((0.5 - 0.5 cos(6.28318 i / n)) x[i]).
 * n <= 0 or NULL does nothing. */
TVX_API void Hanning(int16_t *samples, int32_t n);

/* ---------------------------------------------------------------- filters */

/* Butterworth low-pass as order/2 second-order sections (a, b hold at least
 * order/2 entries); returns the input gain. Orders below 2 write nothing
 * and return 1; NULL a or b: 0.0, nothing written. A rate <= 0 or a cutoff
 * at or beyond rate/2 gives non-finite or unstable coefficients, never a
 * write past order/2 entries. */
TVX_API double butt_low_pass(int32_t rate, int32_t order, double cutoff, double *a, double *b);
/* Chebyshev type I low-pass, ripple in dB (0 < ripple <= 3.0103). Same
 * rules as butt_low_pass; orders below 2 return the ripple's gain, and a
 * ripple outside that range gives non-finite values. */
TVX_API double cheby_low_pass(int32_t rate, int32_t order, double rippleDb, double cutoff,
                              double *a, double *b);
/* Runs the cascade in place. The delay state is process-wide and carries
 * over from one call to the next (it is never reset). Orders above 19 use
 * the first 9 sections; orders below 2 only scale by gain; count <= 0, NULL
 * samples, or NULL a or b with an order of 2 or more does nothing.
 * Non-finite results store 0. */
TVX_API void filter(int16_t *samples, int32_t count, int32_t order, double gain, const double *a,
                    const double *b);

/* -------------------------------------------------------------- prediction */

/* Burg lattice LPC of the current order (SetLPCNum; orders above 100 are
 * taken as 100, below 1 as 1): writes coefficients[1..order] (the array
 * holds order + 1 floats; entry 0 is not written). A stage whose error
 * energies are both 0 has reflection 0, so an all-zero frame gives zero
 * coefficients instead of 0/0. Returns 1; 0 for NULL pointers or
 * length <= 0 (nothing written). */
TVX_API int32_t Lpc_Lattice(float *coefficients, const int16_t *frame, int32_t length);
/* Prediction-error filter with coefficients[1..12] (the array holds 13
 * entries whatever the order). 0 for NULL pointers or length <= 0 (nothing
 * written). Non-finite products count as 0. */
TVX_API int32_t AntiFilterFromLPC(const float *coefficients, const int16_t *input, int16_t *residual,
                                  int32_t length);
/* All-pole synthesis with coefficients[1..12]; output[0] is 0. 0 for NULL
 * pointers or length <= 0 (nothing written). Non-finite sums store 0. */
TVX_API int32_t SynthFromLPC(const float *coefficients, const int16_t *excitation, int16_t *output,
                             int32_t length);
/* Normalised cross-correlation in percent, one value per lag 0..signalLength-1
 * into output; samples past signalLength count as 0. 0 (nothing written)
 * when the signal is shorter than the template, the template length is
 * negative or a pointer is NULL. */
TVX_API int32_t Correlation(const int16_t *signal, int32_t signalLength, const int16_t *templ,
                            int32_t templateLength, float *output);
TVX_API void SetLPCNum(int32_t order);
TVX_API int32_t GetLPCNum(void);

/* -------------------------------------------------------- cepstrum, MFCC */

/* Real cepstrum magnitudes: writes the cepstrum length (GetCeplen) values
 * and returns that length; values past the transform size (16 for n up to
 * 16, 256 up to 256, else 65536) are 0. A zero magnitude gives non-finite
 * values. 0 (nothing written) for n < 13,
 * n > 65536, a cepstrum length <= 0 or NULL pointers. */
TVX_API int32_t CalculateCepstral(const int16_t *frame, int32_t n, float *output);
TVX_API void SetCeplen(int32_t length);
TVX_API int32_t GetCeplen(void);
/* Critical-band cepstral coefficients 1..GetMFCCVecLen() into output (that
 * many floats); returns the vector length. 0 (nothing
 * written) for n < 20, n > 65536, a vector length <= 0, an MFCC sampling
 * rate <= 0 or NULL pointers. A band without power gives non-finite
 * coefficients. */
TVX_API int32_t MFCCCalculateParam(const int16_t *frame, int32_t n, float *output);
TVX_API void MFCCSetSampleingRate(int32_t rate);
TVX_API void SetMFCCVecLen(int32_t length);
TVX_API int32_t GetMFCCVecLen(void);

/* ------------------------------------------------------- spectrum, energy */

/* Spectrogram, 64 bytes per frame of 128 samples every 16 samples, into the
 * document's buffer of (count / 16 + 50) frames; returns the frame count.
 * NULL samples or count <= 0: 0, the buffer and frame count unchanged. */
TVX_API int32_t CalculateSpectrum(const int16_t *samples, int32_t count);
/* Into the host's buffer of ceil(count/16) x 64 bytes; also stores the
 * frame count in the document. 0 for NULL output or samples, or count <= 0
 * (nothing written, the frame count unchanged). */
TVX_API int32_t _CalculateSpectrum(const int16_t *samples, int32_t count, uint8_t *output);
/* The spectrum buffer; valid until the next CalculateSpectrum, speech edit
 * or FreeTalvox. */
TVX_API uint8_t *GetSpectrum(void);
TVX_API int32_t GetSpectrumFrameNum(void);
/* Energy contour in dB, one value per frame of 128 samples every 16, into
 * the document's buffer of count / 16 + 100 values: 1, or 0 for NULL samples
 * or count <= 0 (contour and length unchanged). */
TVX_API int32_t CalculateEnergy(const int16_t *samples, int32_t count);
/* energy holds ceil(count/16) values. 1, or 0 and nothing written for NULL
 * samples, energy or length, or count <= 0. */
TVX_API int32_t _CalculateEnergy(const int16_t *samples, int32_t count, int32_t *energy,
                                 int32_t *length);
/* The energy contour; valid until the next CalculateEnergy or FreeTalvox. */
TVX_API int32_t *GetEnergy(void);
TVX_API int32_t GetEnergyLength(void);

/* ---------------------------------------------------------------- playback */

/* Playback and recording of the host's own buffers on the sound device
 * (ALSA PCM "default"). The library copies nothing: the device reads or
 * fills the host's memory from a thread of the sound service.
 *
 * Notifications: the window value is a file descriptor the host owns, such
 * as the write end of a pipe (0: no notifications). Each event is one 8-byte
 * record, two little-endian uint32: the message number, then a parameter.
 *   0x3BB output opened    0x3BC output closed    0x3BD buffer played
 *   0x3BE input opened     0x3BF input closed     0x3C0 buffer filled
 * The parameter is 0 for open and close, the buffer's length in bytes for
 * "played" and the bytes recorded for "filled". A host that closes its read
 * end is not killed by SIGPIPE from the service's thread.
 *
 * Errors on open and close are also shown as one line on standard error:
 * "Error: Cannot Open the Audio Device", "Error: Cannot Open the Record Audio
 * Device", "Error: Error Close...".
 *
 * Playback and recording share one format record and one buffer header:
 * play or record, not both at once, and hand over one buffer at a time.
 *
 * Opens the output device in PCM format (8, 16, 24 or 32 bits play; other
 * sizes, 0 channels and a rate of 0 fail to open). Returns 1, or 0 after the message when the device
 * cannot be opened. An output device that is already open is reset and
 * closed first; the pause flag starts at 0. */
TVX_API int32_t PlayOpen(uint32_t window, int32_t rate, int32_t channels, int32_t bits);
/* Plays length bytes of the host's buffer in place. The buffer stays the
 * host's but must stay valid and unchanged until the "played" record arrives
 * or PlayStop/PlayClose has returned (after which the device no longer
 * touches it). Submit the next buffer only after "played". NULL, length <= 0
 * or no open device: nothing happens. */
TVX_API void PlayData(void *samples, int32_t length);
/* Frames played since the device was opened or last stopped; 0 when no
 * output device is open or the device does not answer in samples. */
TVX_API int32_t WaveOutGetPosition(void);
/* Pauses at once, or resumes if paused: successive calls alternate. Nothing
 * when no output device is open. */
TVX_API void PlayPause(void);
/* Stops at once (the buffer is handed back with a "played" record) and
 * closes. 1 when closed or nothing was open; 0 when the stop fails (device
 * stays open) or the close fails (message shown, device stays open). */
TVX_API int32_t PlayStop(void);
/* As PlayStop without a result, except that a failed close still marks the
 * device closed. A failed stop leaves the device open. */
TVX_API void PlayClose(void);
/* For shut-down: closes the open devices without stopping them first (any
 * buffer still queued is handed back before the close) and changes no flag,
 * so isSoundOpen stays 1. Later calls on those devices fail harmlessly:
 * positions read 0 and PlayStop/RecordStop return 0. */
TVX_API void FreeWavePlay(void);
/* 1 while an output or an input device is flagged open, else 0. */
TVX_API int32_t isSoundOpen(void);

/* --------------------------------------------------------------- recording */

/* Opens the input device as PlayOpen opens the output device (same format
 * record, replacing the one playback was opened with; the playback device is
 * left as it is). An input device that is already open is reset and closed
 * first. 1, or 0 after the message. */
TVX_API int32_t RecordOpen(uint32_t window, int32_t rate, int32_t channels, int32_t bits);
/* Starts recording into the host's buffer of length bytes (whole frames are
 * filled). The buffer must stay valid until the "filled" record arrives or
 * RecordStop/RecordClose has returned; after that the device no longer
 * touches it. GetRecordBytes reads 0 until the buffer is handed back. NULL,
 * length <= 0 or no open device: nothing happens. */
TVX_API void RecordData(void *buffer, int32_t length);
/* Frames recorded since the device was opened or last stopped; 0 when no
 * input device is open or the device does not answer in samples. */
TVX_API int32_t WaveInGetPosition(void);
/* Bytes the device put into the last buffer, once it has handed it back. */
TVX_API int32_t GetRecordBytes(void);
/* Stops (a partly filled buffer is handed back with what it holds) and
 * closes. 1 when closed or nothing was open; 0 when a stop fails (device
 * stays open) or the close fails (message shown, device stays open). */
TVX_API int32_t RecordStop(void);
/* As RecordStop without a result, except that a failed close still marks
 * the device closed. A failed reset leaves the device open. */
TVX_API void RecordClose(void);

#ifdef __cplusplus
}
#endif

#endif /* TALVOX_H */
