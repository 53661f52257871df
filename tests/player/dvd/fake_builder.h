// A pipeline builder for the DVD graph's decisions: records what the build
// asked for and answers from fields the test sets; its navigator is the
// scripted fake.
#pragma once

#include "platform/dvd/fake_navigator.h"
#include "player/units/Dvdgraph.h"

#include <QStringList>

class FakeDvdBuilder : public TDvdPipelineBuilder {
public:
    // The script.
    QString volume = "/media/Disc";
    bool hasDecoder = true;
    bool preferredFound = true;
    bool rendererOpens = true;
    HRESULT manualResult = S_OK;
    HRESULT automaticResult = S_OK;
    int videoSinks = 1;
    // What happened.
    QStringList log;
    TDvdBuildRequest request;
    QString automaticPath;
    dvd::FakeNavigator* navigator = nullptr;   // after a build that succeeded

    QString FindDvdVolume() override
    {
        log << "FindDvdVolume";
        return volume;
    }
    bool FindDvdVideoDecoder() override
    {
        log << "FindDvdVideoDecoder";
        return hasDecoder;
    }
    bool AddPreferredDecoder(int kind, const QString& name) override
    {
        log << QString("AddPreferredDecoder(%1,%2)").arg(kind).arg(name);
        return preferredFound;
    }
    bool RendererOpens(int renderer, bool) override
    {
        log << QString("RendererOpens(%1)").arg(renderer);
        return rendererOpens;
    }
    HRESULT BuildManual(const TDvdBuildRequest& r) override
    {
        log << QString("BuildManual(%1)").arg(r.renderer);
        request = r;
        if (SUCCEEDED(manualResult)) Make();
        return manualResult;
    }
    HRESULT BuildAutomatic(const QString& path) override
    {
        log << "BuildAutomatic";
        automaticPath = path;
        if (SUCCEEDED(automaticResult)) Make();
        return automaticResult;
    }
    int VideoSinkCount() override { return videoSinks; }
    void Release() override
    {
        log << "Release";
        owned_.reset();
        navigator = nullptr;
    }
    dvd::Navigator* Navigator() override { return owned_.get(); }

private:
    void Make()
    {
        owned_ = std::make_unique<dvd::FakeNavigator>();
        navigator = owned_.get();
    }
    std::unique_ptr<dvd::FakeNavigator> owned_;
};
