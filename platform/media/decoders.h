// Settings of the software decoders that any pipeline plugs.
#pragma once

#include <gst/gst.h>

namespace media {

// A libav video decoder decodes with as many threads as the picture needs,
// not one per core: each frame thread holds frames of its own, so a 720p
// clip on eight cores took some 45 MB more than on two, at no gain in speed.
// The count is chosen from the stream's size when its caps arrive, before
// the decoder opens: two threads up to 720p, four up to 1080p, more above.
// Elements other than libav video decoders are left alone. Call it when the
// element is added to its pipeline.
void LimitDecoderThreads(GstElement* element);

}  // namespace media
