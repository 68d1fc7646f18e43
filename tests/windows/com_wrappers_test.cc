// What the COM wrappers send through IDispatch, how they describe failures, and that they
// release every reference they take.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "compaction/raised_error.h"
#include "fake_dispatch.h"
#include "platform/windows/com_error.h"
#include "platform/windows/com_object_factory.h"
#include "platform/windows/com_objects.h"
#include "platform/windows/win32_file_system.h"
#include "raised_description.h"
#include "scratch_directory.h"

namespace vintrel {
namespace {

using testing::DescriptionOf;
using testing::FakeDispatch;

DispatchObject Wrap(FakeDispatch& fake) { return DispatchObject(Microsoft::WRL::ComPtr<IDispatch>(&fake)); }

HRESULT STDMETHODCALLTYPE FillInDescription(EXCEPINFO* info) {
  info->bstrDescription = ::SysAllocString(L"Файл занят");
  info->bstrSource = ::SysAllocString(L"Scripting");
  return S_OK;
}

TEST(ComWrappersTest, MethodArgumentsArriveInDeclaredOrder) {
  FakeDispatch fake;
  ComFileSystem fileSystem(Wrap(fake));
  fileSystem.DeleteFile(u"lift1.mdb", false);
  ComEngine engine(Wrap(fake));
  engine.CompactDatabase(u"source", u"destination");

  ASSERT_EQ(fake.calls.size(), 2u);
  EXPECT_EQ(fake.calls[0].member, L"DeleteFile");
  EXPECT_EQ(fake.calls[0].arguments, (std::vector<std::wstring>{L"string lift1.mdb", L"false"}));
  EXPECT_FALSE(fake.calls[0].namedPropertyPut);
  EXPECT_EQ(fake.calls[1].member, L"CompactDatabase");
  EXPECT_EQ(fake.calls[1].arguments, (std::vector<std::wstring>{L"string source", L"string destination"}));
}

TEST(ComWrappersTest, RenameAssignsTheNameProperty) {
  FakeDispatch fake;
  ComFile file(Wrap(fake), L"C:\\data\\lift1.mdb");
  file.SetName(u"lift.mdb");
  ASSERT_EQ(fake.calls.size(), 1u);
  EXPECT_EQ(fake.calls[0].member, L"Name");
  EXPECT_EQ(fake.calls[0].kind, DISPATCH_PROPERTYPUT);
  EXPECT_TRUE(fake.calls[0].namedPropertyPut);
  EXPECT_EQ(fake.calls[0].arguments, std::vector<std::wstring>{L"string lift.mdb"});
}

TEST(ComWrappersTest, ResultsAreTypeChecked) {
  FakeDispatch fake;
  ComFileSystem fileSystem(Wrap(fake));
  fake.result.vt = VT_BOOL;
  fake.result.boolVal = VARIANT_TRUE;
  EXPECT_TRUE(fileSystem.FileExists(u"lift.mdb"));
  fake.result.boolVal = VARIANT_FALSE;
  EXPECT_FALSE(fileSystem.FileExists(u"lift.mdb"));
  // A string where an object is due is a failure, not a crash.
  ::VariantClear(&fake.result);
  fake.result.vt = VT_BSTR;
  fake.result.bstrVal = ::SysAllocString(L"lift.mdb");
  EXPECT_NE(DescriptionOf([&] { fileSystem.GetFile(u"lift.mdb"); }), u"");
}

TEST(ComWrappersTest, EveryReferenceTakenIsReleased) {
  FakeDispatch fileObject;
  FakeDispatch fake;
  {
    auto fileSystem = std::make_shared<ComFileSystem>(Wrap(fake));
    fake.result.vt = VT_DISPATCH;
    fake.result.pdispVal = &fileObject;
    fileObject.AddRef();
    std::shared_ptr<File> file = fileSystem->GetFile(u"lift.mdb");
    EXPECT_EQ(fileObject.references(), 2u);  // the fake's result and the wrapper
    ::VariantClear(&fake.result);
    EXPECT_EQ(fileObject.references(), 1u);
    fileSystem.reset();
    EXPECT_EQ(fake.references(), 0u);
  }
  EXPECT_EQ(fileObject.references(), 0u);
}

TEST(ComWrappersTest, InvokeExceptionsGiveTheComponentsDescription) {
  FakeDispatch fake;
  ComFile file(Wrap(fake), L"C:\\data\\lift1.mdb");
  fake.status = DISP_E_EXCEPTION;
  // Filled in only on request, as components that defer the work do.
  fake.fillException = [](EXCEPINFO& info) {
    info.pfnDeferredFillIn = FillInDescription;
  };
  EXPECT_EQ(DescriptionOf([&] { file.Delete(false); }), u"Файл занят");
}

TEST(ComWrappersTest, InvokeExceptionsWithoutDescriptionGiveTheCodesText) {
  FakeDispatch fake;
  ComFile file(Wrap(fake), L"C:\\data\\lift1.mdb");
  fake.status = DISP_E_EXCEPTION;
  fake.fillException = [](EXCEPINFO& info) { info.scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 58); };
  EXPECT_EQ(DescriptionOf([&] { file.SetName(u"lift.mdb"); }), u"File already exists");
  fake.fillException = [](EXCEPINFO& info) { info.wCode = 76; };
  EXPECT_EQ(DescriptionOf([&] { file.SetName(u"lift.mdb"); }), u"Path not found");
  fake.fillException = nullptr;
  EXPECT_EQ(DescriptionOf([&] { file.SetName(u"lift.mdb"); }), StandardText(DISP_E_EXCEPTION));
}

TEST(ComWrappersTest, OtherFailuresTakeTheErrorObjectsDescription) {
  FakeDispatch fake;
  ComEngine engine(Wrap(fake));
  fake.status = E_FAIL;
  fake.errorObjectDescription = L"Could not find file 'lift.mdb'.";
  EXPECT_EQ(DescriptionOf([&] { engine.CompactDatabase(u"a", u"b"); }), u"Could not find file 'lift.mdb'.");
  fake.errorObjectDescription.clear();
  ::SetErrorInfo(0, nullptr);
  EXPECT_EQ(DescriptionOf([&] { engine.CompactDatabase(u"a", u"b"); }), StandardText(E_FAIL));
}

// A member the component leaves unimplemented is served by our own operation; any other
// failure is the component's to report.
TEST(ComWrappersTest, UnimplementedMembersAreServedByOurOwn) {
  const testing::WorkingDirectory directory;
  testing::WriteFile(L"lift1.mdb", "scratch");
  FakeDispatch fake;
  ComFile file(Wrap(fake), FullFilePath(u"lift1.mdb"));
  fake.status = DISP_E_EXCEPTION;
  fake.fillException = [](EXCEPINFO& info) { info.scode = E_NOTIMPL; };
  file.SetName(u"lift.mdb");
  EXPECT_EQ(testing::ListDirectory(), std::vector<std::string>{"lift.mdb"});
  fake.status = E_NOTIMPL;
  file.Delete(false);
  EXPECT_EQ(testing::ListDirectory(), std::vector<std::string>{});
  fake.status = E_ACCESSDENIED;
  testing::WriteFile(L"lift.mdb", "database");
  EXPECT_EQ(DescriptionOf([&] { file.Delete(false); }), StandardText(E_ACCESSDENIED));
  EXPECT_EQ(testing::ListDirectory(), std::vector<std::string>{"lift.mdb"});
}

// The factory's choice: a registered class is the platform's object, whatever ours could do;
// ours stand in only for the JetEngine and FileSystemObject classes when they are not
// registered.
TEST(ComObjectFactoryTest, OurObjectsStandInOnlyForUnregisteredClasses) {
  FakeDispatch fake;
  ComObjectFactory registered([&](REFCLSID, IDispatch** object) {
    fake.AddRef();
    *object = &fake;
    return S_OK;
  });
  const auto engine = std::dynamic_pointer_cast<Engine>(registered.CreateObject(kJetEngineClass));
  ASSERT_NE(engine, nullptr);
  engine->CompactDatabase(u"a", u"b");
  ASSERT_EQ(fake.calls.size(), 1u);
  EXPECT_EQ(fake.calls[0].member, L"CompactDatabase");

  ComObjectFactory unregistered([](REFCLSID, IDispatch** object) {
    *object = nullptr;
    return REGDB_E_CLASSNOTREG;
  });
  const auto ours = std::dynamic_pointer_cast<Engine>(unregistered.CreateObject(kJetEngineClass));
  ASSERT_NE(ours, nullptr);
  EXPECT_EQ(DescriptionOf([&] { ours->CompactDatabase(u"a", u"b"); }),
            u"The connection string is not a list of key=value pairs separated by semicolons.");
  EXPECT_NE(std::dynamic_pointer_cast<Win32FileSystem>(unregistered.CreateObject(kFileSystemObjectClass)), nullptr);
  const ClassId dictionary{u"{EE09B103-97E0-11CF-978F-00A02463E06F}"};
  EXPECT_EQ(DescriptionOf([&] { unregistered.CreateObject(dictionary); }), StandardText(REGDB_E_CLASSNOTREG));

  ComObjectFactory failing([](REFCLSID, IDispatch** object) {
    *object = nullptr;
    return E_ACCESSDENIED;
  });
  EXPECT_EQ(DescriptionOf([&] { failing.CreateObject(kJetEngineClass); }), StandardText(E_ACCESSDENIED));
}

TEST(StandardTextTest, EveryCodeHasAText) {
  EXPECT_EQ(StandardText(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 70)), u"Permission denied");
  EXPECT_EQ(StandardText(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 53)), u"File not found");
  EXPECT_EQ(StandardText(static_cast<HRESULT>(0x800A0999)), u"Unexpected error 0x800A0999");
  // The system's message, without the line break it ends with.
  const std::u16string system = StandardText(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  ASSERT_FALSE(system.empty());
  EXPECT_EQ(system.find(u"0x"), std::u16string::npos);
  EXPECT_EQ(std::u16string(u"\r\n \t").find(system.back()), std::u16string::npos);
}

}  // namespace
}  // namespace vintrel
