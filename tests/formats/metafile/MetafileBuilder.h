// Builders for small WMF and EMF files, record by record, so tests make
// their fixtures at run time. Sizes in headers are filled in by Bytes();
// anything else (including deliberate damage) is up to the caller.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace quorvane::testing {

using TBytes = std::vector<std::uint8_t>;

inline std::uint32_t Rgb(int r, int g, int b)
{
    return std::uint32_t(r) | (std::uint32_t(g) << 8) | (std::uint32_t(b) << 16);
}

inline void Put16(TBytes& out, std::uint32_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

inline void Put32(TBytes& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

inline void PutF32(TBytes& out, float f)
{
    std::uint32_t bits;
    static_assert(sizeof bits == sizeof f);
    __builtin_memcpy(&bits, &f, sizeof f);
    Put32(out, bits);
}

// A packed DIB: BITMAPINFOHEADER, palette, rows (bottom-up unless topDown).
// rows[y] holds the bytes of file row y, padded here to 4 bytes.
inline TBytes PackedDib(int width, int height, int bits, const std::vector<std::uint32_t>& palette,
                        const std::vector<TBytes>& rows, std::uint32_t colorsUsed = 0)
{
    TBytes out;
    Put32(out, 40);
    Put32(out, std::uint32_t(width));
    Put32(out, std::uint32_t(height));
    Put16(out, 1);
    Put16(out, std::uint32_t(bits));
    Put32(out, 0); // BI_RGB
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, colorsUsed);
    Put32(out, 0);
    for (std::uint32_t c : palette)
        Put32(out, c); // 0x00RRGGBB as RGBQUAD bytes B, G, R, 0
    for (TBytes row : rows) {
        while (row.size() % 4)
            row.push_back(0);
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

class TWmfBuilder {
  public:
    // placeable: with the 22-byte header, bounds (left, top, right, bottom) and units per inch.
    TWmfBuilder(bool placeable, std::initializer_list<int> bounds = {0, 0, 100, 100}, int inch = 96,
                int objects = 8)
        : FPlaceable(placeable), FBounds(bounds), FInch(inch), FObjects(objects)
    {
    }

    // A record with 16-bit parameters (given in file order).
    TWmfBuilder& Rec(std::uint16_t function, std::initializer_list<int> words)
    {
        TBytes params;
        for (int w : words)
            Put16(params, std::uint32_t(w));
        return Raw(function, params);
    }
    // A record with raw parameter bytes (padded to an even length).
    TWmfBuilder& Raw(std::uint16_t function, TBytes params)
    {
        if (params.size() % 2) params.push_back(0);
        Put32(FRecords, std::uint32_t(3 + params.size() / 2));
        Put16(FRecords, function);
        FRecords.insert(FRecords.end(), params.begin(), params.end());
        return *this;
    }
    // Bytes appended as they are (for damaged records).
    TWmfBuilder& Append(const TBytes& bytes)
    {
        FRecords.insert(FRecords.end(), bytes.begin(), bytes.end());
        return *this;
    }

    TWmfBuilder& Rectangle(int l, int t, int r, int b) { return Rec(0x041B, {b, r, t, l}); }
    TWmfBuilder& Ellipse(int l, int t, int r, int b) { return Rec(0x0418, {b, r, t, l}); }
    TWmfBuilder& WindowOrg(int x, int y) { return Rec(0x020B, {y, x}); }
    TWmfBuilder& WindowExt(int x, int y) { return Rec(0x020C, {y, x}); }
    TWmfBuilder& Select(int index) { return Rec(0x012D, {index}); }
    TWmfBuilder& Delete(int index) { return Rec(0x01F0, {index}); }
    TWmfBuilder& Pen(int style, int width, std::uint32_t color)
    {
        return Rec(0x02FA, {style, width, 0, int(color & 0xFFFF), int(color >> 16)});
    }
    TWmfBuilder& Brush(int style, std::uint32_t color, int hatch = 0)
    {
        return Rec(0x02FC, {style, int(color & 0xFFFF), int(color >> 16), hatch});
    }
    TWmfBuilder& Poly(std::uint16_t function, std::initializer_list<int> xy)
    {
        TBytes params;
        Put16(params, std::uint32_t(xy.size() / 2));
        for (int v : xy)
            Put16(params, std::uint32_t(v));
        return Raw(function, params);
    }
    TWmfBuilder& Font(int height, const std::string& face, int charset = 0, int escapement = 0)
    {
        TBytes p;
        for (int v : {height, 0, escapement, escapement, 400})
            Put16(p, std::uint32_t(v));
        for (int v : {0, 0, 0, charset, 0, 0, 0, 0})
            p.push_back(std::uint8_t(v));
        p.insert(p.end(), face.begin(), face.end());
        p.push_back(0);
        return Raw(0x02FB, p);
    }
    TWmfBuilder& TextOut(int x, int y, const std::string& text)
    {
        TBytes p;
        Put16(p, std::uint32_t(text.size()));
        p.insert(p.end(), text.begin(), text.end());
        if (p.size() % 2) p.push_back(0);
        Put16(p, std::uint32_t(y));
        Put16(p, std::uint32_t(x));
        return Raw(0x0521, p);
    }
    // META_STRETCHDIB with SRCCOPY (or rop) and DIB_RGB_COLORS.
    TWmfBuilder& StretchDib(std::initializer_list<int> destXYWH, std::initializer_list<int> srcXYWH,
                            const TBytes& dib, std::uint32_t rop = 0x00CC0020)
    {
        const int* d = destXYWH.begin();
        const int* s = srcXYWH.begin();
        TBytes p;
        Put32(p, rop);
        for (int v : {0, s[3], s[2], s[1], s[0], d[3], d[2], d[1], d[0]})
            Put16(p, std::uint32_t(v));
        p.insert(p.end(), dib.begin(), dib.end());
        return Raw(0x0F43, p);
    }

    TBytes Bytes(bool withEof = true) const
    {
        TBytes records = FRecords;
        if (withEof) Put32(records, 3), Put16(records, 0);
        TBytes out;
        if (FPlaceable) PutPlaceable(out);
        Put16(out, 1);
        Put16(out, 9);
        Put16(out, 0x0300);
        Put32(out, std::uint32_t((18 + records.size()) / 2));
        Put16(out, std::uint32_t(FObjects));
        Put32(out, 0);
        Put16(out, 0);
        out.insert(out.end(), records.begin(), records.end());
        return out;
    }

  private:
    void PutPlaceable(TBytes& out) const
    {
        const std::size_t start = out.size();
        Put32(out, 0x9AC6CDD7u);
        Put16(out, 0);
        for (int v : FBounds)
            Put16(out, std::uint32_t(v));
        Put16(out, std::uint32_t(FInch));
        Put32(out, 0);
        std::uint16_t sum = 0;
        for (std::size_t i = start; i < out.size(); i += 2)
            sum ^= std::uint16_t(out[i] | (out[i + 1] << 8));
        Put16(out, sum);
    }

    bool FPlaceable;
    std::vector<int> FBounds;
    int FInch, FObjects;
    TBytes FRecords;
};

class TEmfBuilder {
  public:
    // frame in 0.01 mm (left, top, right, bottom); the reference device has
    // device pixels per millimetres (default: 96 dpi, 1000 x 1000 pixels).
    explicit TEmfBuilder(std::initializer_list<int> frame = {0, 0, 2540, 2540}, int handles = 8,
                         int devicePixels = 960, int deviceMm = 254)
        : FFrame(frame), FHandles(handles), FDevicePixels(devicePixels), FDeviceMm(deviceMm)
    {
    }

    // A record of 32-bit fields.
    TEmfBuilder& Rec(std::uint32_t type, std::initializer_list<std::int64_t> fields)
    {
        TBytes body;
        for (std::int64_t v : fields)
            Put32(body, std::uint32_t(v));
        return Raw(type, body);
    }
    TEmfBuilder& Raw(std::uint32_t type, TBytes body)
    {
        while (body.size() % 4)
            body.push_back(0);
        Put32(FRecords, type);
        Put32(FRecords, std::uint32_t(8 + body.size()));
        FRecords.insert(FRecords.end(), body.begin(), body.end());
        ++FCount;
        return *this;
    }
    TEmfBuilder& Append(const TBytes& bytes)
    {
        FRecords.insert(FRecords.end(), bytes.begin(), bytes.end());
        return *this;
    }

    TEmfBuilder& Rectangle(int l, int t, int r, int b) { return Rec(43, {l, t, r, b}); }
    TEmfBuilder& Ellipse(int l, int t, int r, int b) { return Rec(42, {l, t, r, b}); }
    TEmfBuilder& Pen(int index, int style, int width, std::uint32_t color)
    {
        return Rec(38, {index, style, width, 0, color});
    }
    TEmfBuilder& Brush(int index, int style, std::uint32_t color, int hatch = 0)
    {
        return Rec(39, {index, style, color, hatch});
    }
    TEmfBuilder& Select(std::uint32_t index) { return Rec(37, {index}); }
    TEmfBuilder& Delete(std::uint32_t index) { return Rec(40, {index}); }
    // A 16-bit poly record (85..89): bounds, count, points.
    TEmfBuilder& Poly16(std::uint32_t type, std::initializer_list<int> xy)
    {
        TBytes body;
        for (int i = 0; i < 4; ++i)
            Put32(body, 0);
        Put32(body, std::uint32_t(xy.size() / 2));
        for (int v : xy)
            Put16(body, std::uint32_t(v));
        return Raw(type, body);
    }
    TEmfBuilder& TextW(int x, int y, const std::u16string& text, std::uint32_t options = 0)
    {
        TBytes body;
        for (int i = 0; i < 4; ++i)
            Put32(body, 0); // bounds
        Put32(body, 1);     // GM_COMPATIBLE
        PutF32(body, 1), PutF32(body, 1);
        Put32(body, std::uint32_t(x)), Put32(body, std::uint32_t(y));
        Put32(body, std::uint32_t(text.size()));
        Put32(body, 76); // string offset: right after this fixed part
        Put32(body, options);
        for (int i = 0; i < 4; ++i)
            Put32(body, 0); // rectangle
        Put32(body, 0);     // no spacing array
        for (char16_t c : text)
            Put16(body, c);
        return Raw(84, body);
    }
    // EMR_STRETCHDIBITS with the DIB split into its info and bits.
    TEmfBuilder& StretchDiBits(std::initializer_list<int> destXYWH, std::initializer_list<int> srcXYWH,
                               const TBytes& dib, std::size_t infoSize, std::uint32_t rop = 0x00CC0020)
    {
        const int* d = destXYWH.begin();
        const int* s = srcXYWH.begin();
        TBytes body;
        for (int i = 0; i < 4; ++i)
            Put32(body, 0);
        for (int v : {d[0], d[1], s[0], s[1], s[2], s[3]})
            Put32(body, std::uint32_t(v));
        const std::uint32_t bmiAt = 80;
        Put32(body, bmiAt), Put32(body, std::uint32_t(infoSize));
        Put32(body, std::uint32_t(bmiAt + infoSize)), Put32(body, std::uint32_t(dib.size() - infoSize));
        Put32(body, 0), Put32(body, rop), Put32(body, std::uint32_t(d[2])), Put32(body, std::uint32_t(d[3]));
        body.insert(body.end(), dib.begin(), dib.end());
        return Raw(81, body);
    }

    TBytes Bytes(bool withEof = true) const
    {
        TBytes records = FRecords;
        std::uint32_t count = FCount + 1;
        if (withEof) {
            for (std::uint32_t v : {14u, 20u, 0u, 16u, 20u})
                Put32(records, v);
            ++count;
        }
        TBytes out;
        Put32(out, 1);
        Put32(out, 88);
        const int* f = FFrame.data();
        for (int v : {0, 0, 100, 100}) // bounds in device pixels
            Put32(out, std::uint32_t(v));
        for (int i = 0; i < 4; ++i)
            Put32(out, std::uint32_t(f[i]));
        Put32(out, 0x464D4520u);
        Put32(out, 0x10000);
        Put32(out, std::uint32_t(88 + records.size()));
        Put32(out, count);
        Put16(out, std::uint32_t(FHandles));
        Put16(out, 0);
        for (int i = 0; i < 3; ++i)
            Put32(out, 0); // description, palette
        Put32(out, std::uint32_t(FDevicePixels)), Put32(out, std::uint32_t(FDevicePixels));
        Put32(out, std::uint32_t(FDeviceMm)), Put32(out, std::uint32_t(FDeviceMm));
        out.insert(out.end(), records.begin(), records.end());
        return out;
    }

  private:
    std::vector<int> FFrame;
    int FHandles, FDevicePixels, FDeviceMm;
    std::uint32_t FCount = 0;
    TBytes FRecords;
};

} // namespace quorvane::testing
