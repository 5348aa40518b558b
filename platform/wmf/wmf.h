// The Windows Media runtime as this program uses it: an asynchronous reader paced by the
// caller's clock, a writer with a file sink and a profile built at run time, the profile
// manager with its list of Windows Media Audio 2 formats, and the metadata editor. Reading
// decodes ASF files with FFmpeg (WMA 1, 2, Pro, Lossless, Voice, whatever FFmpeg decodes);
// writing encodes Windows Media Audio 2 into ASF with FFmpeg; attributes go through TagLib.
//
// Ownership: every object handed out starts with one reference, owned by the caller.
// QueryInterface answers the same object under another interface and adds a reference;
// Release drops one and frees the object when none remain. AddRef/Release may be called from
// any thread. Methods return an HRESULT and throw nothing; out-parameters are left alone on
// failure.
//
// Text: names, paths and string attributes are UTF-16 (WCHAR), zero-terminated; attribute
// lengths are in bytes and include the terminator, as on Windows. wide_text.h converts.
//
// Reader threads: Open starts a runtime thread that belongs to the reader. Every callback
// (OnStatus, OnSample, OnTime) runs on it, one at a time, never nested. Reader methods called
// inside a callback never call back before they return; Stop, Close and DeliverTime made
// there take effect once the callback has returned. Close (outside a callback) and the final
// Release (outside a callback) wait for the callback in progress, end the thread and join it:
// after they return nothing is called back. The final Release made inside a callback frees
// the reader on its own thread right after that callback returns, without any further
// callback; that thread then ends by itself and process exit waits for it. Whoever must know
// the thread has ended makes the final Release outside the callbacks. Reader methods may be
// called from any thread, but Open, Close and the final Release not at the same time as one
// another. Every other object is used by one thread at a time.
#pragma once

#include "platform/wmf/wmf_types.h"

namespace platform::wmf {

class IUnknown {
 public:
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

// A block of bytes: a sample handed to OnSample (valid only during that call) or allocated
// by the writer.
class INSSBuffer : public IUnknown {
 public:
  virtual HRESULT GetBufferAndLength(BYTE** buffer, DWORD* length) = 0;
};

// Media type with its format block. GetMediaType with `type` null stores the bytes needed
// (the WM_MEDIA_TYPE followed by its format block) in *size; with a buffer of at least that
// size it copies the type there, pbFormat pointing into the same buffer, and a smaller
// buffer gives E_INSUFFICIENT_BUFFER. SetMediaType copies the type and its format block
// (at most 65535 bytes).
class IWMMediaProps : public IUnknown {
 public:
  virtual HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) = 0;
  virtual HRESULT SetMediaType(WM_MEDIA_TYPE* type) = 0;
};
class IWMOutputMediaProps : public IWMMediaProps {};
class IWMInputMediaProps : public IWMMediaProps {};

// Attributes of a file header, all of stream 0 (other stream numbers have none).
// GetAttributeByIndex/ByName: a null name or value buffer asks for its length (name in
// characters with the terminator, value in bytes); a buffer shorter than needed gives
// E_INSUFFICIENT_BUFFER; an index past the end gives E_INVALIDARG; an absent name gives
// ASF_E_NOTFOUND. Values longer than 65535 bytes are not listed. Numbers are little-endian;
// WMT_TYPE_BOOL is 4 bytes.
class IWMHeaderInfo : public IUnknown {
 public:
  virtual HRESULT GetAttributeCount(WORD stream, WORD* count) = 0;
  virtual HRESULT GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                      WMT_ATTR_DATATYPE* type, BYTE* value, WORD* valueLength) = 0;
  virtual HRESULT GetAttributeByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type,
                                     BYTE* value, WORD* valueLength) = 0;
  virtual HRESULT SetAttribute(WORD stream, const WCHAR* name, WMT_ATTR_DATATYPE type,
                               const BYTE* value, WORD length) = 0;
};

class IWMReaderCallbackAdvanced {
 public:
  // The reader has delivered every sample that starts before `time` (user clock).
  virtual HRESULT OnTime(QWORD time, void* context) = 0;

 protected:
  ~IWMReaderCallbackAdvanced() = default;
};

// Implemented by the caller; the reader ignores the results of the callbacks. `context` is
// the one given to Open, then the one given to Start.
class IWMReaderCallback {
 public:
  // hr is the outcome the status reports; type and value are WMT_TYPE_DWORD and null.
  virtual HRESULT OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE type, BYTE* value,
                           void* context) = 0;
  // Interleaved 16-bit PCM in the output format; times and duration in 100 ns units from the
  // start of the file, counted from the samples delivered. flags is 0.
  virtual HRESULT OnSample(DWORD output, QWORD sampleTime, QWORD sampleDuration, DWORD flags,
                           INSSBuffer* sample, void* context) = 0;
  // Asked once per Open; a callback without OnTime answers E_NOINTERFACE.
  virtual HRESULT QueryInterface(IWMReaderCallbackAdvanced** advanced) = 0;

 protected:
  ~IWMReaderCallback() = default;
};

// The caller's clock. Start fails unless the user clock is on. DeliverTime(t) lets the
// reader deliver the samples that start before t (it decodes at most one packet ahead), then
// call OnTime(t); t in 100 ns units, a smaller t than before changes nothing.
class IWMReaderAdvanced : public IUnknown {
 public:
  virtual HRESULT SetUserProvidedClock(BOOL userClock) = 0;
  virtual HRESULT DeliverTime(QWORD time) = 0;
};

// Open(url, callback, context): returns at once; the runtime thread reads the header and
// reports WMT_OPENED with the result (S_OK, E_FILE_NOT_FOUND, E_ACCESSDENIED for a file it
// cannot read, E_FAIL for a file that is not ASF, is damaged, has no audio stream FFmpeg
// decodes, or no duration between 0 and 1000 hours). A file with a content-encryption object
// first reports WMT_NO_RIGHTS, then WMT_OPENED with E_ACCESSDENIED. The callback must stay
// valid until Close or the final Release returned. After a successful open the header
// attributes include "Duration" (QWORD, 100 ns units), "Bitrate" (DWORD, bit/s), the
// content description ("Title", "Author", "Copyright", "Description", "Rating", present
// - possibly empty - when the file has that object) and the file's other attributes.
// GetOutputProps(0): PCM, 16 bits, the file's rate and channel count, as WMMEDIATYPE_Audio /
// WMMEDIASUBTYPE_PCM / WMFORMAT_WaveFormatEx. Start(0, 0, rate, context) (once per Open)
// reports WMT_STARTED, then decodes as the clock allows, and WMT_EOF after the last sample.
// Stop reports WMT_STOPPED (also after the end); Close reports WMT_CLOSED and ends the
// thread. Calls in the wrong state give NS_E_INVALID_REQUEST.
class IWMReader : public IUnknown {
 public:
  virtual HRESULT Open(const WCHAR* url, IWMReaderCallback* callback, void* context) = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT GetOutputProps(DWORD output, IWMOutputMediaProps** props) = 0;
  virtual HRESULT Start(QWORD start, QWORD duration, float rate, void* context) = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT QueryInterface(IWMReaderAdvanced** advanced) = 0;
  virtual HRESULT QueryInterface(IWMHeaderInfo** headerInfo) = 0;
};

class IWMStreamConfig : public IUnknown {
 public:
  virtual HRESULT SetStreamNumber(WORD number) = 0;  // 1 … 63
  virtual HRESULT SetStreamName(const WCHAR* name) = 0;
  virtual HRESULT SetConnectionName(const WCHAR* name) = 0;
  virtual HRESULT SetBitrate(DWORD bitsPerSecond) = 0;
  virtual HRESULT QueryInterface(IWMMediaProps** props) = 0;
};

// AddStream copies the stream configuration into the profile.
class IWMProfile : public IUnknown {
 public:
  virtual HRESULT SetName(const WCHAR* name) = 0;
  virtual HRESULT CreateNewStream(REFGUID streamType, IWMStreamConfig** config) = 0;
  virtual HRESULT AddStream(IWMStreamConfig* config) = 0;
};

// One audio codec (Windows Media Audio 2, format tag 0x161) whose formats are the stream
// configurations the writer accepts: 8000, 11025, 16000, 22050, 32000, 44100 and 48000 Hz,
// one or two channels, at bitrates from 24 to 320 kbit/s up to the rate of 16-bit PCM. Each
// format carries the WAVEFORMATEX the file will carry (nAvgBytesPerSec = bitrate / 8,
// nBlockAlign = bytes per encoded frame, 16 bits, 10 extra bytes). Other media types have no
// codecs.
class IWMCodecInfo : public IUnknown {
 public:
  virtual HRESULT GetCodecInfoCount(REFGUID type, DWORD* codecs) = 0;
  virtual HRESULT GetCodecFormatCount(REFGUID type, DWORD codec, DWORD* formats) = 0;
  virtual HRESULT GetCodecFormat(REFGUID type, DWORD codec, DWORD format,
                                 IWMStreamConfig** config) = 0;
};

class IWMProfileManager : public IUnknown {
 public:
  virtual HRESULT CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) = 0;
  virtual HRESULT QueryInterface(IWMCodecInfo** codecInfo) = 0;
};

class IWMWriterSink : public IUnknown {};

class IWMWriterFileSink2;

// Open(path) creates (or empties) the file; Close closes it once the writer has ended (and
// gives NS_E_INVALID_REQUEST while it is writing).
class IWMWriterFileSink : public IWMWriterSink {
 public:
  virtual HRESULT Open(const WCHAR* path) = 0;
  virtual HRESULT QueryInterface(IWMWriterFileSink2** sink) = 0;
};
class IWMWriterFileSink2 : public IWMWriterFileSink {
 public:
  virtual HRESULT Close() = 0;
};

class IWMWriterAdvanced : public IUnknown {
 public:
  // One file sink from WMCreateWriterFileSink; added before BeginWriting.
  virtual HRESULT AddSink(IWMWriterSink* sink) = 0;
};

// SetProfile accepts a profile of one audio stream whose media type is one of the codec
// formats. The input (number 0) is interleaved PCM at the stream's rate and channels, 16-bit
// unless SetInputProps chose 8-bit (unsigned). BeginWriting needs the profile and an open
// sink; WriteSample takes whole frames, one after the other (the sample time is not used);
// EndWriting encodes what is left and finishes the file. A writer released while writing
// finishes the file first.
class IWMWriter : public IUnknown {
 public:
  virtual HRESULT SetProfile(IWMProfile* profile) = 0;
  virtual HRESULT GetInputProps(DWORD input, IWMInputMediaProps** props) = 0;
  virtual HRESULT SetInputProps(DWORD input, IWMInputMediaProps* props) = 0;
  virtual HRESULT BeginWriting() = 0;
  virtual HRESULT AllocateSample(DWORD size, INSSBuffer** sample) = 0;
  virtual HRESULT WriteSample(DWORD input, QWORD sampleTime, DWORD flags, INSSBuffer* sample) = 0;
  virtual HRESULT EndWriting() = 0;
  virtual HRESULT QueryInterface(IWMWriterAdvanced** advanced) = 0;
};

// Open reads the header attributes of an ASF file; its IWMHeaderInfo lists the content
// description ("Title", "Author", "Copyright", "Description", "Rating", when the file has
// that object) and the other attributes. SetAttribute takes strings of stream 0 (the text
// ends at the first zero character): the five content-description names go to the content
// description, every other name to the extended attributes. Flush writes the changes into
// the file; Close closes it and drops changes not flushed.
class IWMMetadataEditor : public IUnknown {
 public:
  virtual HRESULT Open(const WCHAR* path) = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT Flush() = 0;
  virtual HRESULT QueryInterface(IWMHeaderInfo** headerInfo) = 0;
};

// certificate must be null; rights are ignored (protected content never plays).
HRESULT WMCreateReader(IUnknown* certificate, DWORD rights, IWMReader** reader);
HRESULT WMCreateWriter(IUnknown* certificate, IWMWriter** writer);
HRESULT WMCreateWriterFileSink(IWMWriterFileSink** sink);
HRESULT WMCreateProfileManager(IWMProfileManager** manager);
HRESULT WMCreateEditor(IWMMetadataEditor** editor);

}  // namespace platform::wmf
