#!/bin/bash
# Makes the committed JPEG test streams and their reference decodes.
# Needs cjpeg and djpeg (Debian: libjpeg-turbo-progs) and perl.
#   bash imaging/tests/data/make-test-jpegs.sh
# Each NAME.jpg comes with NAME.ppm, the encoder library's own decode of it
# with the accurate integer transform and plain (replicating) chroma
# upsampling, the closest it has to the camera decoder.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A synthetic scene: smooth gradients, hard edges, saturated colour bars,
# fine checker and pseudo-random noise, so every part of the decoder works.
scene() {  # width height file
  perl -e '
    my ($w, $h, $f) = @ARGV;
    open(my $o, ">:raw", $f) or die;
    print $o "P6\n$w $h\n255\n";
    my $s = 12345;
    for my $y (0 .. $h - 1) {
      for my $x (0 .. $w - 1) {
        $s = ($s * 1103515245 + 12345) % 2147483648;
        my $n = ($s >> 16) % 48 - 24;
        my ($r, $g, $b);
        if ($y < $h / 4) {            # colour bars
          my $bar = int(8 * $x / $w);
          ($r, $g, $b) = map { $_ ? 255 : 0 } ($bar & 4, $bar & 2, $bar & 1);
        } elsif ($y < $h / 2) {       # gradients
          ($r, $g, $b) = (255 * $x / $w, 255 * $y / $h, 255 - 255 * $x / $w);
        } elsif ($y < 3 * $h / 4) {   # checker and edges
          my $c = (int($x / 3) + int($y / 3)) % 2 ? 230 : 20;
          ($r, $g, $b) = ($c, $x % 16 < 8 ? $c : 255 - $c, 128);
        } else {                      # noise on mid grey
          ($r, $g, $b) = (128 + 3 * $n, 100 + 2 * $n, 160 - 3 * $n);
        }
        print $o pack("CCC", map { $_ < 0 ? 0 : $_ > 255 ? 255 : int($_) } ($r, $g, $b));
      }
    }' "$@"
}

make() {  # name width height cjpeg-options...
  local name=$1 w=$2 h=$3; shift 3
  scene "$w" "$h" "$tmp/$name.ppm"
  cjpeg "$@" -outfile "$name.jpg" "$tmp/$name.ppm"
  djpeg -dct int -nosmooth -ppm -outfile "$name.ppm" "$name.jpg"
}

make s444       64 48  -quality 90 -sample 1x1
make s422       64 48  -quality 90 -sample 2x1
make s420       64 48  -quality 90 -sample 2x2
make grey       64 48  -quality 90 -grayscale
make s420_rst   64 48  -quality 85 -sample 2x2 -restart 3B
make s422_rst   64 48  -quality 85 -sample 2x1 -restart 1
make s420_q100  64 48  -quality 100 -sample 2x2
# Low quality without -baseline: 16-bit quantisation entries (the encoder
# then labels the frame extended-sequential, SOF1).
make s420_q16   64 48  -quality 3 -sample 2x2
make s422_odd   61 45  -quality 90 -sample 2x1
make s420_big   160 120 -quality 75 -sample 2x2 -restart 5B
ls -l ./*.jpg
