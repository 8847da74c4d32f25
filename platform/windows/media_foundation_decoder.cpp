#include "platform/windows/win32.h"

#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <cstdio>
#include <vector>

#include "platform/windows/media_foundation_decoder.h"

namespace vexl::platform {
namespace {

constexpr DWORD audio_stream = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);

std::string failed(const char* what, HRESULT hr)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s failed with 0x%08lX", what, static_cast<unsigned long>(hr));
    return text;
}

template <class T>
struct Released {
    T* p = nullptr;
    ~Released()
    {
        if (p != nullptr)
            p->Release();
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
};

// The few entry points of mfplat.dll and mfreadwrite.dll, from the DLLs
// themselves when they are there.
struct MediaFoundation {
    HMODULE platform = LoadLibraryA("mfplat.dll");
    HMODULE readwrite = LoadLibraryA("mfreadwrite.dll");
    decltype(&MFStartup) startup = nullptr;
    decltype(&MFShutdown) shutdown = nullptr;
    decltype(&MFCreateMediaType) create_media_type = nullptr;
    decltype(&MFCreateSourceReaderFromURL) create_reader = nullptr;

    MediaFoundation()
    {
        if (platform == nullptr || readwrite == nullptr)
            return;
        startup = reinterpret_cast<decltype(startup)>(reinterpret_cast<void*>(GetProcAddress(platform, "MFStartup")));
        shutdown =
            reinterpret_cast<decltype(shutdown)>(reinterpret_cast<void*>(GetProcAddress(platform, "MFShutdown")));
        create_media_type = reinterpret_cast<decltype(create_media_type)>(
            reinterpret_cast<void*>(GetProcAddress(platform, "MFCreateMediaType")));
        create_reader = reinterpret_cast<decltype(create_reader)>(
            reinterpret_cast<void*>(GetProcAddress(readwrite, "MFCreateSourceReaderFromURL")));
    }
    ~MediaFoundation()
    {
        if (readwrite != nullptr)
            FreeLibrary(readwrite);
        if (platform != nullptr)
            FreeLibrary(platform);
    }
    bool usable() const { return startup && shutdown && create_media_type && create_reader; }
};

// Reads the first audio stream of an open reader as 16-bit PCM.
DecodeResult read_pcm(MediaFoundation& mf, IMFSourceReader* reader, DecodedSound& out, std::string& error)
{
    reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    reader->SetStreamSelection(audio_stream, TRUE);
    Released<IMFMediaType> wanted;
    HRESULT hr = mf.create_media_type(wanted.out());
    if (SUCCEEDED(hr)) {
        wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
        wanted->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
        wanted->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 16);
        hr = reader->SetCurrentMediaType(audio_stream, nullptr, wanted.p);
    }
    Released<IMFMediaType> actual;
    if (SUCCEEDED(hr))
        hr = reader->GetCurrentMediaType(audio_stream, actual.out());
    UINT32 channels = 0;
    UINT32 rate = 0;
    if (SUCCEEDED(hr)) {
        actual->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
        actual->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
    }
    if (FAILED(hr) || channels < 1 || rate < 1) {
        error = FAILED(hr) ? failed("decoding to PCM", hr) : "no channels or no sample rate";
        return DecodeResult::unrecognised;
    }
    out.sample_rate = static_cast<int>(rate);
    std::vector<std::int32_t> frame(channels);
    for (;;) {
        DWORD flags = 0;
        Released<IMFSample> sample;
        hr = reader->ReadSample(audio_stream, 0, nullptr, &flags, nullptr, sample.out());
        if (FAILED(hr)) {
            error = failed("reading", hr);
            return DecodeResult::damaged;
        }
        if ((flags & MF_SOURCE_READERF_ENDOFSTREAM) != 0)
            return DecodeResult::ok;
        if (sample.p == nullptr)
            continue;
        Released<IMFMediaBuffer> buffer;
        BYTE* data = nullptr;
        DWORD length = 0;
        if (FAILED(sample->ConvertToContiguousBuffer(buffer.out())) ||
            FAILED(buffer->Lock(&data, nullptr, &length)))
            continue;
        const auto* pcm = reinterpret_cast<const std::int16_t*>(data);
        const std::size_t frames = length / (2 * channels);
        for (std::size_t f = 0; f < frames; ++f) {
            for (UINT32 c = 0; c < channels; ++c)
                frame[c] = static_cast<std::int32_t>(static_cast<std::uint32_t>(pcm[f * channels + c]) << 16);
            out.samples.push_back(mix_down(frame.data(), static_cast<int>(channels)));
        }
        buffer->Unlock();
    }
}

}  // namespace

DecodeResult decode_with_media_foundation(const char* path, DecodedSound& out, std::string& error)
{
    out = {};
    MediaFoundation mf;
    if (!mf.usable()) {
        error = "no Media Foundation on this system to read it with";
        return DecodeResult::unrecognised;
    }
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HRESULT hr = mf.startup(MF_VERSION, MFSTARTUP_LITE);
    DecodeResult result = DecodeResult::unrecognised;
    if (FAILED(hr)) {
        error = failed("starting Media Foundation", hr);
    } else {
        {  // the reader goes before Media Foundation shuts down
            std::wstring url(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0)), L'\0');
            MultiByteToWideChar(CP_ACP, 0, path, -1, url.data(), static_cast<int>(url.size()));
            Released<IMFSourceReader> reader;
            hr = mf.create_reader(url.c_str(), nullptr, reader.out());
            if (FAILED(hr))
                error = failed("Media Foundation's reader", hr);
            else
                result = read_pcm(mf, reader.p, out, error);
        }
        mf.shutdown();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return result;
}

}  // namespace vexl::platform
