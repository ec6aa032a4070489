// Where the Wine soak's memory drift comes from. Makes mixed calls through
// the library's own functions in this process and counts, through interfaces
// that already exist, what each call obtains and gives back:
//   - client handles (WinINet), through a counting http::Client around the
//     platform's;
//   - Buffers, through the allocator hooks (MemoryProbe);
//   - WIC factories, through a class object registered for the factory's
//     class: each call's factory must be back to the one reference we keep.
// Before that, the same calls and then a bare loop of the same WinINet
// requests and WIC conversions, with none of our code, each with the growth
// of the private bytes and of the heap blocks in use. Found so: everything
// balances, and Wine's WinINet keeps about 0.7 KB of heap for each request
// closed with its answer unread (a 404's body, as the senders leave it), in
// the bare loop as in ours.
//
//   balance_probe CALLS [KINDS [bare-first]]   (KINDS: the kinds of call to
//   take turns, 0123 by default; see LibraryCall)
#include <windows.h>

#include <wincodec.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/access_token.h"
#include "exports/service_config.h"
#include "fetch/http_read_file.h"
#include "http/forwarding_client.h"
#include "http/http_client.h"
#include "image/convert_image_to_jpeg.h"
#include "notify/push_note.h"
#include "notify/push_note_with_image.h"
#include "process_figures.h"
#include "support/memory_probe.h"

namespace {

namespace fs = std::filesystem;
using pushnote::http::Handle;

// 1 x 1 white, the smallest complete GIF.
const std::string kTinyGif(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00\x00,"
    "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02"
    "D\x01\x00;",
    43);

// Passes every operation on to the platform's client, counting the handles
// it hands out and those closed.
class CountingClient final : public pushnote::http::ForwardingClient {
public:
    CountingClient() noexcept : ForwardingClient(pushnote::http::PlatformClient()) {}

    long opened = 0;
    long closed = 0;

    Handle OpenSession(const char* agent, pushnote::http::ProxyMode proxy) noexcept override {
        return Count(ForwardingClient::OpenSession(agent, proxy));
    }
    Handle Connect(Handle session, const char* host, std::uint16_t port) noexcept override {
        return Count(ForwardingClient::Connect(session, host, port));
    }
    Handle OpenRequest(Handle connection, const char* verb, const char* path) noexcept override {
        return Count(ForwardingClient::OpenRequest(connection, verb, path));
    }
    Handle OpenUrl(Handle session, const char* url) noexcept override {
        return Count(ForwardingClient::OpenUrl(session, url));
    }
    void Close(Handle handle) noexcept override {
        ++closed;
        ForwardingClient::Close(handle);
    }

private:
    Handle Count(Handle handle) {
        if (handle) ++opened;
        return handle;
    }
};

// Stands in the class table for the WIC factory: hands out the real one,
// keeping a reference to each, so that what the caller left held shows.
class FactoryCounter final : public IClassFactory {
public:
    std::vector<IUnknown*> made;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IClassFactory)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID id, void** object) override {
        *object = nullptr;
        IClassFactory* real = RealFactoryClass();
        if (!real) return E_FAIL;
        const HRESULT result = real->CreateInstance(outer, id, object);
        real->Release();
        if (SUCCEEDED(result)) {
            static_cast<IUnknown*>(*object)->AddRef();
            made.push_back(static_cast<IUnknown*>(*object));
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    // After a call: counts the factories it made whose only reference left
    // is ours, then lets them go.
    void Settle() {
        for (IUnknown* factory : made) {
            factory->AddRef();
            released += factory->Release() == 1 ? 1 : 0;
            factory->Release();
        }
        created += static_cast<long>(made.size());
        made.clear();
    }
    long created = 0;
    long released = 0;

private:
    static IClassFactory* RealFactoryClass() {
        using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
        static HMODULE codecs = LoadLibraryA("windowscodecs.dll");
        auto get = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void*>(GetProcAddress(codecs, "DllGetClassObject")));
        IClassFactory* real = nullptr;
        if (!get || FAILED(get(CLSID_WICImagingFactory, IID_IClassFactory,
                               reinterpret_cast<void**>(&real)))) {
            return nullptr;
        }
        return real;
    }
};

unsigned long long PrivateBytes() {
    return pushnote::soak::ReadProcessFigures().privateBytes;
}

// Bytes in blocks in use, over every heap of the process: grows with a leak,
// stays when only the heaps' committed memory grows around free blocks.
unsigned long long HeapBytesInUse() {
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    unsigned long long used = 0;
    for (DWORD i = 0; i < count && i < 256; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return used;
}

// One POST to the service with WinINet alone, answered with status.
void BarePost(const char* token) {
    HINTERNET session =
        InternetOpenA("PushNote", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection =
        InternetConnectA(session, pushnote::config::kServiceHost, pushnote::config::kServicePort,
                         nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = HttpOpenRequestA(
        connection, "POST", "/api/notify", nullptr, nullptr, nullptr,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_SECURE, 0);
    const std::string headers = std::string(
                                    "Content-Type: application/x-www-form-urlencoded\r\n"
                                    "Authorization: Bearer ") +
                                token;
    char body[] = "message=bare";
    DWORD status = 0;
    DWORD size = sizeof status;
    // As the library does: the body of an answer other than 200 is not read.
    if (HttpSendRequestA(request, headers.c_str(), static_cast<DWORD>(headers.size()), body,
                         sizeof body - 1) &&
        HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                       nullptr) &&
        status == 200) {
        char drain[4096];
        DWORD read = 0;
        while (InternetReadFile(request, drain, sizeof drain, &read) && read > 0) {
        }
    }
    InternetCloseHandle(request);
    InternetCloseHandle(connection);
    InternetCloseHandle(session);
}

// One GET of the URL with WinINet alone, read to the end.
void BareFetch(const std::string& url) {
    HINTERNET session =
        InternetOpenA("PNAuthentication", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET opened = InternetOpenUrlA(session, url.c_str(), nullptr, 0,
                                        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    char text[1024];
    DWORD read = 0;
    while (opened && InternetReadFile(opened, text, sizeof text, &read) && read > 0) {
    }
    if (opened) InternetCloseHandle(opened);
    InternetCloseHandle(session);
}

// One GIF to JPEG with WIC alone: decoder, 32-bit converter, JPEG encoder.
void BareConvert(const std::string& gif, const std::wstring& jpeg) {
    IWICImagingFactory* factory = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* target = nullptr;
    IPropertyBag2* options = nullptr;
    const std::wstring source(gif.begin(), gif.end());
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateDecoderFromFilename(source.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) &&
        SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA,
                                        WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromFilename(jpeg.c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&target, &options)) &&
        SUCCEEDED(target->Initialize(options))) {
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        UINT width = 0;
        UINT height = 0;
        frame->GetSize(&width, &height);
        target->SetSize(width, height);
        target->SetPixelFormat(&format);
        target->WriteSource(converter, nullptr);
        target->Commit();
        encoder->Commit();
    }
    for (IUnknown* object : std::initializer_list<IUnknown*>{options, target, encoder, stream,
                                                             converter, frame, decoder, factory}) {
        if (object) object->Release();
    }
}

// One call of a kind: 0 text, 1 GIF answered 404, 2 GIF, 3 fetch; and, to
// tell the parts of a GIF call apart, 4 the conversion alone, 5 a PNG upload.
// 0 when the call gave what it should.
int LibraryCall(int kind, pushnote::http::Client& client, const std::string& gif,
                const std::string& png, const std::string& url) {
    pushnote::SetAccessToken(kind == 1 ? "probe;status=404" : "probe");
    char text[64];
    pushnote::WorkingPath jpeg;
    switch (kind) {
        case 0:
            return pushnote::PushNote("probe", pushnote::config::kService, client);
        case 1:
            return pushnote::PushNoteWithImage("probe", gif.c_str(), pushnote::config::kService,
                                               client) == -6
                       ? 0
                       : 1;
        case 2:
            return pushnote::PushNoteWithImage("probe", gif.c_str(), pushnote::config::kService,
                                               client);
        case 3:
            return pushnote::HttpReadFile(url.c_str(), text, sizeof text, client);
        case 4:
            return pushnote::ConvertImageToJpeg(std::filesystem::path(gif).c_str(), jpeg) ? 0 : 1;
        default:
            return pushnote::PushNoteWithImage("probe", png.c_str(), pushnote::config::kService,
                                               client);
    }
}

// The same kinds with bare WinINet and WIC.
void BareCall(int kind, const std::string& gif, const std::wstring& jpeg, const std::string& url) {
    if (kind == 3) return BareFetch(url);
    if (kind != 4) BarePost(kind == 1 ? "probe;status=404" : "probe");
    if (kind == 1 || kind == 2 || kind == 4) BareConvert(gif, jpeg);
}

void PrintGrowth(const char* what, unsigned long long before, unsigned long long heapBefore,
                 int calls) {
    const long long growth = static_cast<long long>(PrivateBytes() - before);
    const long long heapGrowth = static_cast<long long>(HeapBytesInUse() - heapBefore);
    std::printf("%-44s %+9lld bytes (%+.2f KB a call); heap blocks in use %+lld bytes\n", what,
                growth, static_cast<double>(growth) / calls / 1024, heapGrowth);
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 2000;
    // Kinds of call to make, as digits of the mix (0 to 3): to find which drifts.
    const std::string kinds = argc > 2 ? argv[2] : "0123";
    const auto kindOf = [&](int i) {
        return kinds[static_cast<std::size_t>(i) % kinds.size()] - '0';
    };
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const fs::path folder = fs::temp_directory_path() / "pushnote-balance-probe";
    fs::create_directories(folder);
    const std::string gif = (folder / "anim.gif").string();
    std::ofstream(gif, std::ios::binary) << kTinyGif;
    const std::wstring jpeg = (folder / "anim.jpg").wstring();
    const std::string png = (folder / "photo.png").string();
    std::ofstream(png, std::ios::binary) << std::string("\x89PNG\r\n\x1A\n\0\0", 10);
    const std::string url = "https://" + std::string(pushnote::config::kServiceHost) + ":" +
                            std::to_string(pushnote::config::kServicePort) + "/text?text=probe";
    pushnote::http::Client& platform = pushnote::http::PlatformClient();

    // Warm-up: what the first calls set up once (WinINet, TLS, WIC) is not drift.
    for (int i = 0; i < 200; ++i) {
        LibraryCall(kindOf(i), platform, gif, png, url);
        BareCall(kindOf(i), gif, jpeg, url);
    }
    // The figures alone first: the counters below hold memory of their own.
    // BARE_FIRST swaps the two loops, to tell a step of the heap from a leak.
    const bool bareFirst = argc > 3 && std::string(argv[3]) == "bare-first";
    int wrong = 0;
    for (int round = 0; round < 2; ++round) {
        const unsigned long long heapBefore = HeapBytesInUse();
        const unsigned long long before = PrivateBytes();
        if ((round == 0) != bareFirst) {
            for (int i = 0; i < calls; ++i) {
                wrong += LibraryCall(kindOf(i), platform, gif, png, url) != 0;
            }
            PrintGrowth("private bytes, library calls:", before, heapBefore, calls);
        } else {
            for (int i = 0; i < calls; ++i) BareCall(kindOf(i), gif, jpeg, url);
            PrintGrowth("private bytes, bare WinINet and WIC calls:", before, heapBefore, calls);
        }
    }

    FactoryCounter factories;
    DWORD registration = 0;
    if (FAILED(CoRegisterClassObject(CLSID_WICImagingFactory, &factories, CLSCTX_INPROC_SERVER,
                                     REGCLS_MULTIPLEUSE, &registration))) {
        std::fprintf(stderr, "balance_probe: cannot register the factory's class\n");
        return 1;
    }
    CountingClient client;
    pushnote::testing::MemoryProbe buffers;
    for (int i = 0; i < calls; ++i) {
        wrong += LibraryCall(kindOf(i), client, gif, png, url) != 0;
        factories.Settle();
    }
    CoRevokeClassObject(registration);
    std::printf(
        "%d mixed calls twice (text, GIF answered 404, GIF, fetch), %d with another "
        "result\n",
        calls, wrong);
    std::printf("client handles: %ld opened, %ld closed\n", client.opened, client.closed);
    std::printf("Buffers: %d obtained, %zu still held\n", buffers.Requests(),
                buffers.Outstanding());
    std::printf("WIC factories: %ld created, %ld released by the library\n", factories.created,
                factories.released);

    pushnote::SetAccessToken("");
    fs::remove_all(folder);
    CoUninitialize();
    const bool balanced = client.opened == client.closed && buffers.Outstanding() == 0 &&
                          factories.created == factories.released;
    return wrong == 0 && balanced ? 0 : 1;
}
