/* Machine-dependent JNI types for 32-bit Windows.
 *
 * The JDK on the build machine ships the Linux variant of this header, whose
 * empty JNICALL would call the VM with the wrong calling convention. The
 * Windows build finds this file first. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif /* !_JAVASOFT_JNI_MD_H_ */
