/* A stand-in for libgstreamer-1.0 with the functions the runtime check
 * calls. What it reports comes from the environment at each call:
 * FAKE_GST_VERSION "1.20.3"; FAKE_GST_MISSING, names of elements it lacks,
 * each followed by ","; FAKE_GST_PLUGINS, "name=version," for plugins whose
 * version differs from the runtime's. */
#include <stdlib.h>
#include <string.h>

static const char* Env(const char* name)
{
    const char* value = getenv(name);
    return value ? value : "";
}

/* Whether `list` holds "<name><end>" at the start of an entry. */
static const char* FindEntry(const char* list, const char* name, char end)
{
    const size_t length = strlen(name);
    for (const char* at = list; at && *at;) {
        if (strncmp(at, name, length) == 0 && at[length] == end) return at + length + 1;
        at = strchr(at, ',');
        if (at) ++at;
    }
    return NULL;
}

int gst_init_check(int* argc, char*** argv, void** error)
{
    (void)argc;
    (void)argv;
    (void)error;
    return 1;
}

void gst_version(unsigned* major, unsigned* minor, unsigned* micro, unsigned* nano)
{
    *major = *minor = *micro = *nano = 0;
    const char* version = Env("FAKE_GST_VERSION");
    *major = (unsigned)strtoul(version, (char**)&version, 10);
    if (*version == '.') *minor = (unsigned)strtoul(version + 1, (char**)&version, 10);
    if (*version == '.') *micro = (unsigned)strtoul(version + 1, (char**)&version, 10);
}

/* A factory and its plugin are both the element's name, copied. */
void* gst_element_factory_find(const char* name)
{
    if (FindEntry(Env("FAKE_GST_MISSING"), name, ',')) return NULL;
    return strdup(name);
}

void* gst_plugin_feature_get_plugin(void* feature) { return strdup((const char*)feature); }

const char* gst_plugin_get_version(void* plugin)
{
    static char version[32];
    const char* own = FindEntry(Env("FAKE_GST_PLUGINS"), (const char*)plugin, '=');
    const char* text = own ? own : Env("FAKE_GST_VERSION");
    size_t length = strcspn(text, ",");
    if (length >= sizeof version) length = sizeof version - 1;
    memcpy(version, text, length);
    version[length] = 0;
    return version;
}

void gst_object_unref(void* object) { free(object); }
