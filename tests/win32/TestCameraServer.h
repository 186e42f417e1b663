#pragma once
// The test camera's in-process COM server, as the test process and the
// server share it: a capture filter registered in the video-input category
// whose IKsControl hands every property request to a handler that the test
// process installs. The server is loaded once per process, so the test's
// LoadLibrary and COM's binding share one handler.

#include <windows.h>

// The filter's class: {5A0C7E31-9D42-4B1E-8F63-2C7D41A9E0B5}.
inline constexpr GUID kTestCameraClsid = {0x5A0C7E31, 0x9D42, 0x4B1E, {0x8F, 0x63, 0x2C, 0x7D, 0x41, 0xA9, 0xE0, 0xB5}};
// The server's file, next to the test programs.
inline constexpr wchar_t kTestCameraServerFile[] = L"zarnet_test_camera.dll";

// Answers one property request: the raw request bytes and their length, the
// data buffer and its length, and where the count of bytes returned goes.
using TestCameraHandler = HRESULT (*)(void* context, const BYTE* property, ULONG propertyLength, void* data,
                                      ULONG dataLength, ULONG* returned);

// The server's exports, looked up by name.
using SetHandlerFunction = void (*)(TestCameraHandler handler, void* context);
// Registers the class (its server the DLL itself, threading model Both) and
// one device of the video-input category with the given names.
using RegisterFunction = HRESULT (*)(const wchar_t* friendlyName, const wchar_t* devicePath);
using UnregisterFunction = HRESULT (*)();
// Filters and property interfaces the server has handed out and that are
// still referenced.
using LiveObjectsFunction = LONG (*)();

inline constexpr char kSetHandlerExport[] = "TestCameraSetHandler";
inline constexpr char kRegisterExport[] = "TestCameraRegister";
inline constexpr char kUnregisterExport[] = "TestCameraUnregister";
inline constexpr char kLiveObjectsExport[] = "TestCameraLiveObjects";
