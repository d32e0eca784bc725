/*
 * How a test steers the bench camera's video stream.  The stand-in capture
 * filter (ksproxy/) reads these values of HKEY_CURRENT_USER; the client
 * library and camctl write them.  Absent values mean the defaults.
 */
#ifndef Z9_BENCH_STREAM_H
#define Z9_BENCH_STREAM_H

#define Z9B_STREAM_KEY "Software\\Z9Bench\\Stream"
/* DWORD: 0 = the filter has only a capture pin; otherwise (default) also a
   preview pin.  Read when a filter object is created. */
#define Z9B_STREAM_PREVIEW_PIN "PreviewPin"
/* DWORD: added to every pin's dropped-frame count (default 0).  Read at each query. */
#define Z9B_STREAM_DROPPED_OFFSET "DroppedOffset"
/* DWORD N: every Nth frame of a pin is not delivered and counts as dropped
   (default 0: none).  Read when streaming starts. */
#define Z9B_STREAM_DROP_EVERY "DropEvery"

/* DWORD: the stream format a new filter object starts with, an index into
   the filter's formats (default 0):
     0 RGB24 640x480   1 RGB24 352x288   2 RGB24 320x240   3 RGB24 176x144
     4 RGB24 160x120   5 RGB24 1280x960  6 YUY2 640x480    7 YUY2 320x240
     8 UYVY 640x480    9 RAWD 640x480   10 NJP4 640x480   11 NJP2 320x240 */
#define Z9B_STREAM_FORMAT "Format"
#define Z9B_STREAM_FORMATS 12u
/* DWORD of bits: failures of the filter's stream interfaces, read at each call
   (the interface bit when a pin is asked for it). */
#define Z9B_STREAM_FAULTS "Faults"
#define Z9B_STREAM_FAIL_SETFORMAT 0x1u   /* IAMStreamConfig::SetFormat fails (E_FAIL) */
#define Z9B_STREAM_FAIL_GETFORMAT 0x2u   /* IAMStreamConfig::GetFormat fails (E_FAIL) */
#define Z9B_STREAM_NO_DROPPED_FRAMES 0x4u /* the pins do not offer IAMDroppedFrames */
#define Z9B_STREAM_FAIL_RUN 0x8u         /* IMediaFilter::Pause and Run fail (E_FAIL) */
#define Z9B_STREAM_ZERO_FRAME_TIME 0x10u /* GetFormat reports AvgTimePerFrame 0 (frames keep their rate) */

/* Class id of the bench's own format page, served by the bench Ksproxy.ax. */
#define Z9B_FORMAT_PAGE_CLSID "{5E1A7C20-3B9D-4C61-9A0E-7F2B6D4C1A01}"

#endif /* Z9_BENCH_STREAM_H */
