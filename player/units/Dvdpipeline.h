// The real pipeline side of a DVD build: platform/dvd's player drawing into
// the view panel, preferred decoders by raised rank, and the volume search
// of an empty viewer path.
#pragma once

#include "platform/dvd/player.h"
#include "units/Dvdgraph.h"

#include <QPointer>
#include <QWidget>

#include <gst/gst.h>

#include <memory>
#include <utility>
#include <vector>

// The class identifier stored under the Filters key for a kind (1 to 9);
// empty when none is stored.
QByteArray ReadFilterClassId(int kind);

class TDvdPipeline : public TDvdPipelineBuilder {
public:
    // Initialises GStreamer (waiting for the start-up preloader when it runs).
    explicit TDvdPipeline(QWidget* panel);
    ~TDvdPipeline() override;

    QString FindDvdVolume() override;
    bool FindDvdVideoDecoder() override;
    bool AddPreferredDecoder(int kind, const QString& name) override;
    bool RendererOpens(int renderer, bool windowed) override;
    HRESULT BuildManual(const TDvdBuildRequest& request) override;
    HRESULT BuildAutomatic(const QString& path) override;
    int VideoSinkCount() override;
    void Release() override;
    dvd::Navigator* Navigator() override { return player_.get(); }
    dvd::DvdPlayer* Player() const { return player_.get(); }

private:
    void RestoreRanks();

    QPointer<QWidget> panel_;
    std::unique_ptr<dvd::DvdPlayer> player_;
    // Factories whose rank this build raised, with their own rank.
    std::vector<std::pair<GstPluginFeature*, guint>> raised_;
};

// The sink the pipeline uses for a DVD renderer value (0, 1, 2) as the file
// graph's `Renderer` value.
int MediaRendererForDvd(int dvdRenderer, bool windowed);

// The real player behind a builder; null for a builder of another kind or
// before a build.
dvd::DvdPlayer* DvdPlayerOf(TDvdPipelineBuilder* builder);
