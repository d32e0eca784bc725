// Still-image decoding: turns the camera driver's still buffer (a 40-byte
// StillHeader followed by the pixel payload) into a 24-bit blue-green-red
// picture, flips it to bottom-up rows and enlarges it with a cubic filter.
//
// Portable C++17: no Windows headers, no global state (the decoders are safe
// to run on several threads at once), no exceptions leave any function.
//
// Every function is given the length of each buffer it reads or writes and
// never touches a byte outside them. Sizes in bytes are size_t; picture
// dimensions are pixels.
//
// Buffers:
//  - still:    StillHeader (40 bytes) + payload; its length is what the driver
//              returned (at most the announced still buffer size).
//  - picture:  width x height pixels, 3 bytes each (blue, green, red), rows of
//              width x 3 bytes without padding. The converters write rows
//              top-down; STICAP_RGB payloads arrive bottom-up.
//  - DIB:      a 40-byte BITMAPINFOHEADER (written by WriteDibHeader) followed
//              directly by a picture with bottom-up rows; PictureDibSize()
//              bytes in all. The Win32 caller allocates the DIB as a movable
//              global block of PictureDibSize(w, h) bytes, locks it and passes
//              the locked pointer and that size here; this library never
//              allocates or frees the caller's blocks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace z9 {

// Capture format codes of the still header.
constexpr uint8_t STICAP_RGB = 0;
constexpr uint8_t STICAP_JPG = 1;
constexpr uint8_t STICAP_YUV = 2;
constexpr uint8_t STICAP_RAW = 3;
constexpr uint8_t STICAP_I420 = 4;
constexpr uint8_t STICAP_YUY2 = 5;
constexpr uint8_t STICAP_UYVY = 7;
constexpr uint8_t STICAP_MJPG = 8;

constexpr size_t kStillHeaderSize = 40;
constexpr size_t kDibHeaderSize = 40;

// The still header, decoded from its little-endian layout (offsets 0..39).
struct StillHeader {
  uint8_t propertySet[16];  // 0: property-set identifier of the request
  uint32_t propertyId;      // 16: 34 for a still
  uint32_t flags;           // 20: 1 (get)
  uint8_t status;           // 24: 0 = picture delivered, else failure code
  uint8_t format;           // 25: STICAP_* code
  uint8_t sizeCode;         // 26: 101..103 ask for an enlarged picture
  uint8_t reserved0;        // 27
  uint32_t height;          // 28: picture height in pixels
  uint32_t width;           // 32: picture width in pixels
  uint32_t reserved1;       // 36
};

// Reads the header from the first 40 bytes of a still. False when the still
// is shorter than its header.
bool ReadStillHeader(const uint8_t* still, size_t stillSize, StillHeader* header);

// width x height x 3, or 0 when that does not fit in size_t.
size_t PictureSize(uint32_t width, uint32_t height);
// width x height x 3 + 40 (921640 for 640 x 480), or 0 when it does not fit.
size_t PictureDibSize(uint32_t width, uint32_t height);
// Writes the 40-byte BITMAPINFOHEADER of a 24-bit bottom-up picture
// (biSize 40, biWidth, biHeight positive, 1 plane, 24 bits, BI_RGB,
// biSizeImage = width x height x 3, the rest 0). False if dibSize < 40.
bool WriteDibHeader(uint8_t* dib, size_t dibSize, uint32_t width, uint32_t height);

// Payload bytes each format needs for a width x height picture (0 when the
// size does not fit in size_t):
//  - packed 4:2:2 (YUY2, UYVY): rows of whole pixel pairs, 4 x ceil(w/2)
//    bytes each (2 x width for the even widths the camera delivers);
//  - I420: a width x height luma plane, then U and V planes of
//    ceil(w/2) x ceil(h/2) bytes each (width x height x 3/2 for even sizes);
//  - RGB: width x height x 3.
size_t PackedPayloadSize(uint32_t width, uint32_t height);
size_t I420PayloadSize(uint32_t width, uint32_t height);

// What DecodeImage did with a still.
enum class StillResult {
  kConverted,     // the picture holds the decoded still
  kNotConverted,  // a format without converter (1, 2, 3, 6, unknown): untouched
  kRefused,       // header, payload or picture too small for the declared
                  // size: untouched
  kDecodeFailed,  // the JPEG stream was not accepted: untouched
};

// Decodes a still into the picture (pictureSize must hold width x height x 3
// of the header's size). Returns 1 in every case, as the capture code
// expects; *result (optional) tells what happened. On anything but
// kConverted the picture keeps its previous content.
int DecodeImage(uint8_t* picture, size_t pictureSize, const uint8_t* still, size_t stillSize,
                StillResult* result = nullptr);

// The converters write a top-down picture. They return false, writing
// nothing, when the payload or the picture is too small for the size.
bool ConvertYuy2(uint8_t* picture, size_t pictureSize, const uint8_t* payload, size_t payloadSize,
                 uint32_t width, uint32_t height);
bool ConvertUyvy(uint8_t* picture, size_t pictureSize, const uint8_t* payload, size_t payloadSize,
                 uint32_t width, uint32_t height);
bool ConvertI420(uint8_t* picture, size_t pictureSize, const uint8_t* payload, size_t payloadSize,
                 uint32_t width, uint32_t height);

// Decodes one baseline JPEG stream into a width x height picture, top-down.
// A frame of another size is cropped to the picture (its top-left part is
// written; picture pixels outside the frame are left alone). Returns false,
// writing nothing, when the stream is not accepted (bad or unsupported
// header, corrupt or truncated entropy data).
bool DecodeMjpgStill(uint8_t* picture, size_t pictureSize, uint32_t width, uint32_t height,
                     const uint8_t* stream, size_t streamSize);

// Swaps row k with row height - 1 - k (rows of width x 3 bytes), turning a
// top-down picture into bottom-up in place. False, touching nothing, when
// size is too small for width x height x 3.
bool FlipRows(uint8_t* pixels, size_t size, uint32_t width, uint32_t height);

// Cubic weights: 128 phases (1/128 pixel) of 4 taps at distances 1 + t, t,
// 1 - t, 2 - t; each row sums to 64.
extern const int16_t CubicWeightTable[128][4];

// Enlarges a picture DIB with the 4-tap cubic filter into a caller-provided
// target DIB of PictureDibSize(targetWidth, targetHeight) bytes (header
// included). Returns false, writing nothing, when the source is too small
// for the filter's taps (width or height below 6), a target side is below 2,
// a buffer is too small for its size, or the work area cannot be allocated.
bool UpscaleStill(const uint8_t* sourceDib, size_t sourceDibSize, uint32_t sourceWidth,
                  uint32_t sourceHeight, uint8_t* targetDib, size_t targetDibSize,
                  uint32_t targetWidth, uint32_t targetHeight);

// The same, returning a new DIB; empty when nothing could be made.
std::vector<uint8_t> UpscaleStill(const uint8_t* sourceDib, size_t sourceDibSize,
                                  uint32_t sourceWidth, uint32_t sourceHeight,
                                  uint32_t targetWidth, uint32_t targetHeight);

}  // namespace z9
