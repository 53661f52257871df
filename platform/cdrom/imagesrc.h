// Our own GStreamer source of a disc image's sound: the sheet's files read
// in order with the gaps as silence, as raw 44.1 kHz 16-bit stereo audio,
// seekable in time. Time 0 is a chosen frame of the disc, so that the
// stream's times and the table of contents agree.
#pragma once

#include "platform/cdrom/cuesheet.h"

#include <gst/gst.h>

namespace cdrom {

// A new floating element playing `image` from `originFrame` (frames with the
// lead-in, as the TOC gives them) to the lead-out. A file that cannot be read
// while playing posts an error.
GstElement* CreateImageSource(const DiscImage& image, int originFrame);

}  // namespace cdrom
