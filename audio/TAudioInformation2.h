#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>

// Inspects one file (format, exact length, size, tag) without decoding it all,
// and writes tags. LoadFile and SaveTag throw AudioError naming the file.
class TAudioInformation2 {
public:
    void LoadFile(const QString &fileName);

    int64_t Duration() const { return durationMs_; }    // milliseconds
    int64_t TotalSamples() const { return totalSamples_; } // frames
    int64_t FileSize() const { return fileSize_; }       // bytes
    QString FormatText() const { return formatText_; }
    int SampleRate() const { return sampleRate_; }
    int Channels() const { return channels_; }
    // MPEG-1, 2 or 2.5 Layer III: the frames can be copied without re-encoding.
    bool IsMpegLayer3() const { return mpegLayer_ == 3; }

    QString infoTitle() const { return title_; }
    void setInfoTitle(const QString &v) { title_ = v; }
    QString infoArtist() const { return artist_; }
    void setInfoArtist(const QString &v) { artist_ = v; }
    QString infoAlbum() const { return album_; }
    void setInfoAlbum(const QString &v) { album_ = v; }
    QString infoComments() const { return comments_; }
    void setInfoComments(const QString &v) { comments_ = v; }
    int infoYear() const { return year_; }
    void setInfoYear(int v) { year_ = v; }
    int infoGenre() const { return genre_; } // ID3v1 genre number, 255 unknown
    void setInfoGenre(int v) { genre_ = v; }
    QString GenreName(int genre) const;
    // "k/n" written into the next SaveTag (and rendered tags); empty: the
    // file's own track number is left as it is.
    QString infoTrack() const { return track_; }
    void setInfoTrack(const QString &v) { track_ = v; }

    // The source's own ID3v2 tag (pictures and every other frame kept) with
    // the current fields applied, as ID3v2.3 bytes to put in front of an MP3
    // stream. An empty tag when the source has none is built from the fields.
    // Throws AudioError naming the file when it cannot be read.
    QByteArray RenderId3v2Tag(const QString &sourceFileName) const;

    // Writes the current tag fields into fileName (any supported format).
    void SaveTag(const QString &fileName);

private:
    // Writes the fields into the file at `path`; `name` is the file the user knows.
    void writeTag(const QString &path, const QString &name) const;

    int64_t durationMs_ = 0;
    int64_t totalSamples_ = 0;
    int64_t fileSize_ = 0;
    QString formatText_;
    int sampleRate_ = 0;
    int channels_ = 0;
    QString title_, artist_, album_, comments_;
    int year_ = 0;
    int genre_ = 255;
    int mpegLayer_ = 0;
    QString track_;
};
