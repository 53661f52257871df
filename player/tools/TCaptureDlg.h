// The capture window: takes still pictures from what the main window plays,
// shows the last one (corrected as its controls say), writes it as BMP or
// JPEG (at once under a numbered name, or through the save dialog) and puts
// it on the clipboard. Modeless and always on top; the main window makes it,
// keeps it as CaptureWindow, prepares a capture after each file graph it
// starts, and deletes it when it hears of its closing. Main thread.
#pragma once

#include "player/tools/CaptureSettings.h"
#include "player/tools/PictureProcessing.h"

#include "platform/wintypes.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace Ui {
class TCaptureDlg;
}
namespace media {
class FilterGraph;
class PlaceholderGraph;
}
class IToolHost;
class QFileDialog;
struct TOpenedItem;

// What the capture method in effect asks of a file graph built while the
// capture window is open: the sink its grab reads, the grabber's branch, a
// deinterlacer, and for MPEG files the capture decoders.
struct TCaptureGraphNeeds {
    int renderer = -1;              // the `Renderer` value to build with; -1 the main window's own
    bool flip = false;              // flipping allowed, whatever UseVideoReversal says
    bool captureBranch = false;
    bool deinterlace = false;
    QString mpeg1Decoder;           // MPEG1CapDecoder: kind 7 of the preferred filters
    QString mpeg2Decoder;           // MPEG2CapDecoder: kind 8
    bool Plain() const
    {
        return renderer < 0 && !flip && !captureBranch && !deinterlace && mpeg1Decoder.isEmpty() &&
               mpeg2Decoder.isEmpty();
    }
};

class TCaptureDlg : public QWidget {
    Q_OBJECT
public:
    // `owner` is the main window; the window is placed but not shown yet.
    TCaptureDlg(IToolHost& host, QWidget* owner);
    // Releases what the capture holds and writes the settings the window changes.
    ~TCaptureDlg() override;

    // Prepares the capture of what plays now; a failure tells the user and
    // closes the window.
    void CaptureFrame();
    // Lets go of the hidden graph (RealMedia) and the captured method state.
    void ReleaseCaptureGraph();
    // The hidden black picture that runs while the RealMedia player opens a clip.
    HRESULT RunPlaceholderGraph();
    bool PlaceholderRunning() const;

    // ---- the window's handlers ----
    void BtnCaptureClick();
    void BtnSavePictureClick();
    void BtnCopyClick();
    void ChColorClick();
    void TrackBar1Change();
    void TrackBar2Change();
    void Button1Click();
    void CheckBox3Click();
    void Button2Click();
    void SaveDialogShow();
    void SaveDialogClose();
    void SaveDialogTypeChange();

    // Writes the picture, numbered, resized and corrected as the controls
    // say, by the path's extension; false when nothing was written.
    bool WritePicture(const QString& path);

    const QImage& CapturedPicture() const { return picture_; }
    // The method in effect: the setting, or the one chosen at the first preparation.
    int CaptureMethodInUse() const { return methodInUse_; }
    // What a file graph built now needs for the method in effect; plain
    // while no method is chosen or the window is closing (hidden).
    TCaptureGraphNeeds GraphNeeds() const;
    // The picture as it is written or copied: resized and corrected.
    QImage OutputPicture() const;
    // The save dialog while it is open (tests answer it); null otherwise.
    QFileDialog* SaveDialog() const { return saveDialog_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void LoadSettings();
    void StoreSettings();
    void PlaceWindow();
    void UpdateCorrectionPanel();
    void ShowPreview();
    void SetClientSize(int width, int height);
    void SimultaneousSave();
    capture::Correction CurrentCorrection() const;
    capture::VideoGeometry Geometry() const;
    HRESULT GrabPicture(QImage* picture);
    HRESULT PrepareCapture(media::FilterGraph& graph, const TOpenedItem& item);
    // The graph already is as the method needs it: nothing to build again.
    bool GraphFits(const media::FilterGraph& graph, const TOpenedItem& item) const;
    // The renderer's method on an MPEG file whose capture decoder for its
    // generation is set.
    bool WantsCaptureDecoders(const TOpenedItem& item) const;

    IToolHost& host_;
    std::unique_ptr<Ui::TCaptureDlg> ui_;
    TCaptureSettings settings_;
    QImage picture_;   // CapturedPicture: never corrected itself
    QString baseName_;
    bool newItem_ = false;
    int methodInUse_ = 0;
    bool emulationSet_ = false;
    bool loading_ = true;   // ChColor's Tag: no pulling inside while the settings load
    int brightnessValue_ = 0;
    int redValue_ = 0;
    // What the save dialog starts with; the next item clears the name.
    QString saveFolder_;
    QString saveFileName_;
    QFileDialog* saveDialog_ = nullptr;
    std::unique_ptr<media::PlaceholderGraph> placeholder_;
};
