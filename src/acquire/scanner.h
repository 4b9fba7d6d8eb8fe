#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>

// Scanners through SANE. Every call blocks until the scanner answers: the window runs
// them on a worker thread that owns the whole SANE session, from init to exit.
namespace Scanner {

// The highest resolution asked of a scanner: what a SANE fixed-point value holds.
constexpr int MaxResolution = 32767;

struct Device
{
    QString name;    // what SANE opens: "test:0", "epson2:libusb:001:004"
    QString vendor;
    QString model;
    QString type;    // "flatbed scanner", "virtual device"...
};

struct Choice
{
    QString device;      // empty: the first device
    QString source;      // "flatbed", "adf" (every sheet of the feeder), or empty: the device's own
    int resolution = 0;  // dots per inch; 0: the device's own
    QString mode;        // "color", "gray", "lineart", or empty: the device's own
};

struct Outcome
{
    int pages = 0;       // images handed over
    bool cancelled = false;
    QString error;       // SANE's own status text, or why the scan could not start
};

// The devices SANE reports; `error` set when SANE cannot be used at all.
QList<Device> devices(QString *error);

// Scans one page, or every sheet of the feeder; each image goes to `page` as soon as it
// is whole (false from `page` ends the scan with its `error`). `cancel` is looked at
// between reads: a page cut short is not handed over. `progress` gets each page's
// percentage as it is read.
Outcome acquire(const Choice &choice, const std::function<bool(const QImage &, QString *error)> &page,
                const std::atomic_bool &cancel, const std::function<void(int page, int percent)> &progress = {});

} // namespace Scanner

// Windows bitmap files of scanned pages: 1 bit for line art, 8 bits with a grey palette
// for grey, 24 bits for colour; written whole or not at all.
namespace ScanFile {

QByteArray encode(const QImage &image);
// "import" + hh-mm-ss-zzz + index + ".bmp", as the import names every picture of a batch.
QString name(const QTime &batchStart, int index);
bool write(const QImage &image, const QString &path, QString *error);

} // namespace ScanFile
