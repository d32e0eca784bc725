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

/* Class id of the bench's own format page, served by the bench Ksproxy.ax. */
#define Z9B_FORMAT_PAGE_CLSID "{5E1A7C20-3B9D-4C61-9A0E-7F2B6D4C1A01}"

#endif /* Z9_BENCH_STREAM_H */
