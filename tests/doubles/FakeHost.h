#pragma once

// Fake host objects: the device source handed to Initialize and Render
// (IMediaDevice) and the frames handed to Render (IMediaFrame).

#include "com/ComPtr.h"
#include "tests/doubles/FakeUnknown.h"
#include "transform/MediaTransform.h"

#include <d3d9.h>

namespace doubles {

class FakeMediaDevice final : public Counted<IMediaDevice> {
  public:
    explicit FakeMediaDevice(IDirect3DDevice9* device) : Counted("IMediaDevice") {
        m_device.copy_from(device);
    }

    // A host object that does not answer IID_IMediaDevice.
    bool answersMediaDevice = true;

    HRESULT STDMETHODCALLTYPE Reserved1() override { return Unexpected("IMediaDevice::Reserved1"); }
    HRESULT STDMETHODCALLTYPE Reserved2() override { return Unexpected("IMediaDevice::Reserved2"); }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override {
        const HRESULT hr = Log("GetDevice", {Arg(device)});
        if (device)
            *device = nullptr;
        if (FAILED(hr))
            return hr;
        if (!device)
            return E_POINTER;
        m_device.copy_to(device);
        return S_OK;
    }

  protected:
    void* Find(REFIID iid) override {
        if (answersMediaDevice && ::IsEqualIID(iid, IID_IMediaDevice))
            return static_cast<IMediaDevice*>(this);
        return Counted::Find(iid);
    }

  private:
    quorvel::ComPtr<IDirect3DDevice9> m_device;
};

class FakeMediaFrame final : public Counted<IMediaFrame> {
  public:
    explicit FakeMediaFrame(IUnknown* surface) : Counted("IMediaFrame") {
        m_surface.copy_from(surface);
    }

    HRESULT STDMETHODCALLTYPE Reserved1() override { return Unexpected("IMediaFrame::Reserved1"); }
    HRESULT STDMETHODCALLTYPE Reserved2() override { return Unexpected("IMediaFrame::Reserved2"); }
    HRESULT STDMETHODCALLTYPE GetSurface(IUnknown** surface) override {
        const HRESULT hr = Log("GetSurface", {Arg(surface)});
        if (surface)
            *surface = nullptr;
        if (FAILED(hr))
            return hr;
        if (!surface)
            return E_POINTER;
        m_surface.copy_to(surface);
        return S_OK;
    }

  protected:
    void* Find(REFIID iid) override {
        if (::IsEqualIID(iid, IID_IMediaFrame))
            return static_cast<IMediaFrame*>(this);
        return Counted::Find(iid);
    }

  private:
    quorvel::ComPtr<IUnknown> m_surface;
};

} // namespace doubles
