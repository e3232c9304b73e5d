// The Windows Imaging Component as the PNG and JPEG code uses it: COM set up
// for the calling thread while a WicSession lives, the imaging factory, and
// an owning pointer for COM interfaces.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <string>

// Releases the interface it holds when it goes.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    // For the calls that hand back a new interface.
    T** out() {
        reset();
        return &p_;
    }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

class WicSession {
public:
    WicSession();
    ~WicSession();
    WicSession(const WicSession&) = delete;
    WicSession& operator=(const WicSession&) = delete;

    // Null when WIC could not be reached; error() then says why.
    IWICImagingFactory* factory() const { return factory_.get(); }
    HRESULT error() const { return error_; }

private:
    bool uninitialize_ = false;
    HRESULT error_ = S_OK;
    ComPtr<IWICImagingFactory> factory_;
};

// "WHAT failed (HRESULT 0x88982F61)"
std::string wicFailure(const char* what, HRESULT result);
