// The launcher class's main call over a fake JNI environment: the failures
// the recording runtime cannot script (the VM running out of memory while
// the String[] is built) end the launch with the internal-error message.
#include <gtest/gtest.h>

#include <jni.h>

#include <cstring>

#include "config/store.h"
#include "core/errors.h"
#include "core/state.h"
#include "launch/javavm.h"

namespace {

int stringsBeforeFailure = -1;  // NewString fails after this many; -1 never
bool arrayFails = false;
int stringsMade = 0;
int liveStrings = 0, mostLiveStrings = 0;  // strings made and not yet deleted
int mainCalls = 0;
int token = 0;  // any address serves as a reference or method id
int stringToken = 0;  // the one reference every string gets

jclass JNICALL findClass(JNIEnv*, const char*) { return reinterpret_cast<jclass>(&token); }
jmethodID JNICALL getStaticMethodID(JNIEnv*, jclass, const char*, const char*) {
    return reinterpret_cast<jmethodID>(&token);
}
jobjectArray JNICALL newObjectArray(JNIEnv*, jsize, jclass, jobject) {
    return arrayFails ? nullptr : reinterpret_cast<jobjectArray>(&token);
}
jstring JNICALL newString(JNIEnv*, const jchar*, jsize) {
    if (stringsBeforeFailure >= 0 && stringsMade >= stringsBeforeFailure) return nullptr;
    ++stringsMade;
    if (++liveStrings > mostLiveStrings) mostLiveStrings = liveStrings;
    return reinterpret_cast<jstring>(&stringToken);
}
void JNICALL deleteLocalRef(JNIEnv*, jobject ref) {
    if (ref == reinterpret_cast<jobject>(&stringToken)) --liveStrings;
}
void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray, jsize, jobject) {}
void JNICALL callStaticVoidMethodV(JNIEnv*, jclass, jmethodID, va_list) { ++mainCalls; }
jthrowable JNICALL exceptionOccurred(JNIEnv*) { return nullptr; }
void JNICALL exceptionClear(JNIEnv*) {}

struct FakeJni {
    JNINativeInterface_ table;
    JNIEnv env;
    FakeJni() {
        memset(&table, 0, sizeof table);
        table.FindClass = findClass;
        table.GetStaticMethodID = getStaticMethodID;
        table.NewObjectArray = newObjectArray;
        table.NewString = newString;
        table.SetObjectArrayElement = setObjectArrayElement;
        table.DeleteLocalRef = deleteLocalRef;
        table.CallStaticVoidMethodV = callStaticVoidMethodV;
        table.ExceptionOccurred = exceptionOccurred;
        table.ExceptionClear = exceptionClear;
        env.functions = &table;
    }
};

class LaunchJni : public ::testing::Test {
protected:
    void SetUp() override {
        clearStores();
        storeMessage(1009, L"internal {0}");
        storeConfigValue(122, "com.example.Main");
        setMessageBoxMode(false);
        launcherFamily = 'm';  // no first-run marker lookup
        stringsBeforeFailure = -1;
        arrayFails = false;
        stringsMade = 0;
        liveStrings = mostLiveStrings = 0;
        mainCalls = 0;
    }
    void TearDown() override { clearStores(); }
    FakeJni jni;
};

}  // namespace

TEST_F(LaunchJni, MainGetsCalledWithTheWholeArray) {
    EXPECT_TRUE(invokeLauncherMain(&jni.env, {L"a", L"b"}));
    EXPECT_EQ(stringsMade, 7);
    EXPECT_EQ(mostLiveStrings, 1);  // each released once it is in the array
    EXPECT_EQ(mainCalls, 1);
}

TEST_F(LaunchJni, ArrayThatCannotBeCreatedIsFatal) {
    arrayFails = true;
    EXPECT_EXIT(invokeLauncherMain(&jni.env, {L"a"}), ::testing::ExitedWithCode(1), "internal 21");
}

TEST_F(LaunchJni, StringThatCannotBeCreatedIsFatal) {
    stringsBeforeFailure = 3;
    EXPECT_EXIT(invokeLauncherMain(&jni.env, {L"a", L"b"}), ::testing::ExitedWithCode(1), "internal 21");
}
