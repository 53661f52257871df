// The elements of a running pipeline as the player's filter list sees them,
// and the generic property dialog that stands in for a filter's property
// pages.
//
// The graph's filters are the pipeline's leaf elements: bins are walked,
// not listed, depth first in each bin's own order. A filter's name is its
// element's name. An element offers property pages when it has a property
// that is readable, writable and not construct-only besides "name" and
// "parent". An audio renderer is an element without source pads whose sink
// pad carries raw audio. Main thread.
#pragma once

#include <QString>

#include <memory>
#include <vector>

class QDialog;
class QWidget;
typedef struct _GstElement GstElement;

namespace media {

struct GraphElement {
    QString name;
    bool offersPages = false;
    bool audioRenderer = false;
};

// The leaf elements under `bin` in walking order; empty for null.
std::vector<GraphElement> LeafElements(GstElement* bin);

// The first leaf element called `name`, walked as above; a new reference
// (gst_object_unref), null when there is none.
GstElement* FindElementByName(GstElement* bin, const QString& name);

bool OffersPropertyPages(GstElement* element);
bool IsAudioRenderer(GstElement* element);

// The property dialog of `element`: one editor per offered property by its
// type (boolean, integer and floating ranges, string, enumeration, flags),
// each change applied to the element at once; captioned with the element's
// name. The caller owns it; it keeps the element alive. Null without an
// offered property.
std::unique_ptr<QDialog> CreatePropertyDialog(GstElement* element, QWidget* owner);

}  // namespace media
