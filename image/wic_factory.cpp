#include "wic_factory.h"

#include <cstdio>

WicSession::WicSession() {
    // A thread that already set COM up in the other model keeps it; WIC's
    // factory works in either.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    uninitialize_ = SUCCEEDED(init);
    error_ = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(factory_.out()));
    if (FAILED(error_)) factory_.reset();
}

WicSession::~WicSession() {
    factory_.reset();
    if (uninitialize_) CoUninitialize();
}

std::string wicFailure(const char* what, HRESULT result) {
    char code[32];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    return std::string(what) + " failed (HRESULT " + code + ")";
}
