#include "platform/media/elements.h"

#include <gst/gst.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>
#include <functional>
#include <limits>

namespace media {

namespace {

// Calls `visit` on each leaf under `bin` in order until it returns false.
// A bin's children are kept in reverse order of addition: walked from the
// oldest, as they were added.
bool WalkLeaves(GstElement* bin, const std::function<bool(GstElement*)>& visit)
{
    std::vector<GstElement*> children;
    GST_OBJECT_LOCK(bin);
    for (GList* l = GST_BIN_CHILDREN(GST_BIN(bin)); l; l = l->next)
        children.push_back(GST_ELEMENT(gst_object_ref(l->data)));
    GST_OBJECT_UNLOCK(bin);
    bool goOn = true;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (goOn) goOn = GST_IS_BIN(*it) ? WalkLeaves(*it, visit) : visit(*it);
        gst_object_unref(*it);
    }
    return goOn;
}

bool Offered(const GParamSpec* spec)
{
    if (!(spec->flags & G_PARAM_READABLE) || !(spec->flags & G_PARAM_WRITABLE)) return false;
    if (spec->flags & G_PARAM_CONSTRUCT_ONLY) return false;
    const char* name = g_param_spec_get_name(const_cast<GParamSpec*>(spec));
    return g_strcmp0(name, "name") != 0 && g_strcmp0(name, "parent") != 0;
}

QString ElementName(GstElement* element)
{
    g_autofree gchar* name = gst_object_get_name(GST_OBJECT(element));
    return QString::fromUtf8(name);
}

}  // namespace

std::vector<GraphElement> LeafElements(GstElement* bin)
{
    std::vector<GraphElement> out;
    if (!bin) return out;
    auto add = [&out](GstElement* e) {
        out.push_back({ElementName(e), OffersPropertyPages(e), IsAudioRenderer(e)});
        return true;
    };
    if (GST_IS_BIN(bin))
        WalkLeaves(bin, add);
    else
        add(bin);
    return out;
}

GstElement* FindElementByName(GstElement* bin, const QString& name)
{
    if (!bin || !GST_IS_BIN(bin)) return nullptr;
    GstElement* found = nullptr;
    WalkLeaves(bin, [&](GstElement* e) {
        if (ElementName(e) != name) return true;
        found = GST_ELEMENT(gst_object_ref(e));
        return false;
    });
    return found;
}

bool OffersPropertyPages(GstElement* element)
{
    guint count = 0;
    g_autofree GParamSpec** specs = g_object_class_list_properties(G_OBJECT_GET_CLASS(element), &count);
    for (guint i = 0; i < count; ++i) {
        if (Offered(specs[i])) return true;
    }
    return false;
}

bool IsAudioRenderer(GstElement* element)
{
    if (element->numsrcpads > 0 || element->numsinkpads == 0) return false;
    bool raw = false;
    GST_OBJECT_LOCK(element);
    for (GList* l = element->sinkpads; l && !raw; l = l->next) {
        GstCaps* caps = gst_pad_get_current_caps(GST_PAD(l->data));
        if (!caps) continue;
        const GstStructure* s = gst_caps_get_size(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
        raw = s && gst_structure_has_name(s, "audio/x-raw");
        gst_caps_unref(caps);
    }
    GST_OBJECT_UNLOCK(element);
    return raw;
}

namespace {

// The dialog keeps its element alive while it shows it.
class PropertyDialog : public QDialog {
public:
    PropertyDialog(GstElement* element, QWidget* owner)
        : QDialog(owner), element_(GST_ELEMENT(gst_object_ref(element)))
    {
    }
    ~PropertyDialog() override { gst_object_unref(element_); }
    GstElement* element() const { return element_; }

private:
    GstElement* element_;
};

void SetProperty(GstElement* element, const char* name, const GValue* value)
{
    g_object_set_property(G_OBJECT(element), name, value);
}

// One editor for `spec`, wired to write its value to the element; null for
// a type there is no editor for.
QWidget* EditorFor(GstElement* element, GParamSpec* spec, QWidget* parent)
{
    const char* name = g_param_spec_get_name(spec);
    GValue value = G_VALUE_INIT;
    g_value_init(&value, spec->value_type);
    g_object_get_property(G_OBJECT(element), name, &value);
    QWidget* editor = nullptr;
    // The editors write through the element's property system, which limits values to the spec.
    auto setNumber = [element, spec, name = QByteArray(name)](double number) {
        GValue v = G_VALUE_INIT;
        g_value_init(&v, spec->value_type);
        switch (G_TYPE_FUNDAMENTAL(spec->value_type)) {
        case G_TYPE_INT: g_value_set_int(&v, static_cast<gint>(number)); break;
        case G_TYPE_UINT: g_value_set_uint(&v, static_cast<guint>(number)); break;
        case G_TYPE_LONG: g_value_set_long(&v, static_cast<glong>(number)); break;
        case G_TYPE_ULONG: g_value_set_ulong(&v, static_cast<gulong>(number)); break;
        case G_TYPE_INT64: g_value_set_int64(&v, static_cast<gint64>(number)); break;
        case G_TYPE_UINT64: g_value_set_uint64(&v, static_cast<guint64>(number)); break;
        case G_TYPE_FLOAT: g_value_set_float(&v, static_cast<float>(number)); break;
        default: g_value_set_double(&v, number); break;
        }
        SetProperty(element, name.constData(), &v);
        g_value_unset(&v);
    };
    auto numberEditor = [&](double low, double high, double now, int decimals) {
        auto* box = new QDoubleSpinBox(parent);
        box->setDecimals(decimals);
        box->setRange(low, high);
        box->setValue(now);
        box->setKeyboardTracking(false);
        QObject::connect(box, &QDoubleSpinBox::valueChanged, box, setNumber);
        return box;
    };

    switch (G_TYPE_FUNDAMENTAL(spec->value_type)) {
    case G_TYPE_BOOLEAN: {
        auto* box = new QCheckBox(parent);
        box->setChecked(g_value_get_boolean(&value));
        QObject::connect(box, &QCheckBox::toggled, box, [element, n = QByteArray(name)](bool on) {
            GValue v = G_VALUE_INIT;
            g_value_init(&v, G_TYPE_BOOLEAN);
            g_value_set_boolean(&v, on);
            SetProperty(element, n.constData(), &v);
            g_value_unset(&v);
        });
        editor = box;
        break;
    }
    case G_TYPE_INT: {
        auto* s = G_PARAM_SPEC_INT(spec);
        auto* box = new QSpinBox(parent);
        box->setRange(s->minimum, s->maximum);
        box->setValue(g_value_get_int(&value));
        box->setKeyboardTracking(false);
        QObject::connect(box, &QSpinBox::valueChanged, box, [setNumber](int v) { setNumber(v); });
        editor = box;
        break;
    }
    case G_TYPE_UINT: {
        auto* s = G_PARAM_SPEC_UINT(spec);
        editor = numberEditor(s->minimum, s->maximum, g_value_get_uint(&value), 0);
        break;
    }
    case G_TYPE_LONG: {
        auto* s = G_PARAM_SPEC_LONG(spec);
        editor = numberEditor(s->minimum, s->maximum, g_value_get_long(&value), 0);
        break;
    }
    case G_TYPE_ULONG: {
        auto* s = G_PARAM_SPEC_ULONG(spec);
        editor = numberEditor(s->minimum, s->maximum, g_value_get_ulong(&value), 0);
        break;
    }
    case G_TYPE_INT64: {
        auto* s = G_PARAM_SPEC_INT64(spec);
        editor = numberEditor(s->minimum, s->maximum, g_value_get_int64(&value), 0);
        break;
    }
    case G_TYPE_UINT64: {
        auto* s = G_PARAM_SPEC_UINT64(spec);
        editor = numberEditor(s->minimum, s->maximum, g_value_get_uint64(&value), 0);
        break;
    }
    case G_TYPE_FLOAT: {
        auto* s = G_PARAM_SPEC_FLOAT(spec);
        editor = numberEditor(s->minimum, s->maximum, g_value_get_float(&value), 3);
        break;
    }
    case G_TYPE_DOUBLE: {
        auto* s = G_PARAM_SPEC_DOUBLE(spec);
        editor = numberEditor(s->minimum, s->maximum, g_value_get_double(&value), 3);
        break;
    }
    case G_TYPE_STRING: {
        auto* line = new QLineEdit(QString::fromUtf8(g_value_get_string(&value)), parent);
        QObject::connect(line, &QLineEdit::editingFinished, line, [element, line, n = QByteArray(name)] {
            GValue v = G_VALUE_INIT;
            g_value_init(&v, G_TYPE_STRING);
            g_value_set_string(&v, line->text().toUtf8().constData());
            SetProperty(element, n.constData(), &v);
            g_value_unset(&v);
        });
        editor = line;
        break;
    }
    case G_TYPE_ENUM: {
        auto* box = new QComboBox(parent);
        GEnumClass* klass = G_PARAM_SPEC_ENUM(spec)->enum_class;
        for (guint i = 0; i < klass->n_values; ++i) {
            box->addItem(QString::fromUtf8(klass->values[i].value_nick), klass->values[i].value);
            if (klass->values[i].value == g_value_get_enum(&value)) box->setCurrentIndex(static_cast<int>(i));
        }
        QObject::connect(box, &QComboBox::currentIndexChanged, box,
                         [element, box, type = spec->value_type, n = QByteArray(name)] {
                             GValue v = G_VALUE_INIT;
                             g_value_init(&v, type);
                             g_value_set_enum(&v, box->currentData().toInt());
                             SetProperty(element, n.constData(), &v);
                             g_value_unset(&v);
                         });
        editor = box;
        break;
    }
    case G_TYPE_FLAGS: {
        auto* group = new QWidget(parent);
        auto* column = new QVBoxLayout(group);
        column->setContentsMargins(0, 0, 0, 0);
        GFlagsClass* klass = G_PARAM_SPEC_FLAGS(spec)->flags_class;
        const guint now = g_value_get_flags(&value);
        for (guint i = 0; i < klass->n_values; ++i) {
            const guint bit = klass->values[i].value;
            if (bit == 0) continue;
            auto* box = new QCheckBox(QString::fromUtf8(klass->values[i].value_nick), group);
            box->setChecked((now & bit) == bit);
            QObject::connect(box, &QCheckBox::toggled, box,
                             [element, bit, type = spec->value_type, n = QByteArray(name)](bool on) {
                                 GValue v = G_VALUE_INIT;
                                 g_value_init(&v, type);
                                 g_object_get_property(G_OBJECT(element), n.constData(), &v);
                                 const guint flags = g_value_get_flags(&v);
                                 g_value_set_flags(&v, on ? (flags | bit) : (flags & ~bit));
                                 SetProperty(element, n.constData(), &v);
                                 g_value_unset(&v);
                             });
            column->addWidget(box);
        }
        editor = group;
        break;
    }
    default: break;
    }
    g_value_unset(&value);
    if (editor) {
        editor->setObjectName(QString::fromUtf8(name));
        editor->setToolTip(QString::fromUtf8(g_param_spec_get_blurb(spec)));
    }
    return editor;
}

}  // namespace

std::unique_ptr<QDialog> CreatePropertyDialog(GstElement* element, QWidget* owner)
{
    if (!element || !OffersPropertyPages(element)) return nullptr;
    auto dialog = std::make_unique<PropertyDialog>(element, owner);
    dialog->setWindowTitle(ElementName(element));
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    guint count = 0;
    g_autofree GParamSpec** specs = g_object_class_list_properties(G_OBJECT_GET_CLASS(element), &count);
    for (guint i = 0; i < count; ++i) {
        if (!Offered(specs[i])) continue;
        if (QWidget* editor = EditorFor(dialog->element(), specs[i], page))
            form->addRow(QString::fromUtf8(g_param_spec_get_name(specs[i])), editor);
    }
    auto* scroll = new QScrollArea;
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("閉じる"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog.get(), &QDialog::reject);
    auto* layout = new QVBoxLayout(dialog.get());
    layout->addWidget(scroll);
    layout->addWidget(buttons);
    dialog->resize(420, 360);
    return dialog;
}

}  // namespace media
