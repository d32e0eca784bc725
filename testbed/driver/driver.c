/*
 * Stand-in camera driver: a WDM function driver for every bench capture
 * device (root-enumerated), plus the named control device through which tests
 * drive the camera.  The camera's behaviour lives in camera_model.c; this file
 * only owns the device objects, the interface state and the locking.
 */
#include <ntddk.h>

#include "camera_model.h"

#define TAG_POOL 'C9Bz'
#define EXT_CAMERA 0x5A394344u  /* "Z9CD" */
#define EXT_CONTROL 0x5A394354u /* "Z9CT" */

/* KSCATEGORY_CAPTURE */
static const GUID kCategoryCapture = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

typedef struct CAMERA_EXT {
  ULONG magic;
  PDEVICE_OBJECT self;
  PDEVICE_OBJECT pdo;
  PDEVICE_OBJECT lower;
  UNICODE_STRING link; /* the capture interface */
  ULONG slot;
  ULONG role;
  BOOLEAN registered; /* link is valid */
  BOOLEAN started;
  BOOLEAN plugged;    /* interface switched on by the tests (or never switched off) */
  ULONG generation;  /* counts unplugs: a handle opened before the last one is stale */
  LONG openHandles;
  ULONG opens, refusedOpens;
  char instanceId[Z9B_INSTANCE_CHARS];
} CAMERA_EXT;

typedef struct CONTROL_EXT {
  ULONG magic;
} CONTROL_EXT;

static KSPIN_LOCK g_lock;
static Z9Model g_model;
static CAMERA_EXT* g_devices[Z9B_MAX_DEVICES];
static PDEVICE_OBJECT g_control;
static UNICODE_STRING g_controlLink;

static void* pool_alloc(size_t bytes) { return ExAllocatePoolWithTag(NonPagedPool, bytes, TAG_POOL); }
static void pool_free(void* p) { ExFreePoolWithTag(p, TAG_POOL); }

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

/* "\??\ROOT#VID_FFF1&PID_A14C&MI_00#0000#{...}" -> "ROOT\VID_FFF1&PID_A14C&MI_00\0000" */
static void instance_from_link(const UNICODE_STRING* link, char* out, ULONG room) {
  ULONG n = link->Length / sizeof(WCHAR), i = 0, o = 0;
  const WCHAR* s = link->Buffer;
  ULONG end = n;
  if (n >= 4 && s[0] == L'\\' && s[3] == L'\\') i = 4; /* \??\ or \\?\ */
  while (end > i && s[end - 1] != L'#') --end;          /* drop "#{interface class}" */
  if (end > i) --end;
  for (; i < end && o + 1 < room; ++i) {
    WCHAR c = s[i];
    if (c == L'#') c = L'\\';
    if (c >= L'a' && c <= L'z') c = (WCHAR)(c - L'a' + L'A');
    out[o++] = (c < 0x80) ? (char)c : '?';
  }
  out[o] = 0;
}

static int contains(const char* s, const char* part) {
  ULONG i, j;
  for (i = 0; s[i]; ++i) {
    for (j = 0; part[j] && s[i + j] == part[j]; ++j) {
    }
    if (!part[j]) return 1;
  }
  return 0;
}

/* Switches a device's capture interface; tests see arrival and removal notices. */
static void set_plugged(CAMERA_EXT* ext, BOOLEAN plugged) {
  KIRQL irql;
  if (!plugged) {
    KeAcquireSpinLock(&g_lock, &irql);
    ext->plugged = FALSE;
    ext->generation++;
    KeReleaseSpinLock(&g_lock, irql);
  }
  if (ext->registered && ext->started) IoSetDeviceInterfaceState(&ext->link, plugged);
  if (plugged) {
    KeAcquireSpinLock(&g_lock, &irql);
    ext->plugged = TRUE;
    KeReleaseSpinLock(&g_lock, irql);
  }
}

/* ---- PnP ------------------------------------------------------------------ */

static NTSTATUS NTAPI on_add_device(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
  PDEVICE_OBJECT fdo;
  CAMERA_EXT* ext;
  NTSTATUS status;
  KIRQL irql;
  ULONG i;

  status = IoCreateDevice(driver, sizeof(CAMERA_EXT), NULL, FILE_DEVICE_KS, FILE_DEVICE_SECURE_OPEN, FALSE, &fdo);
  if (!NT_SUCCESS(status)) return status;
  ext = (CAMERA_EXT*)fdo->DeviceExtension;
  RtlZeroMemory(ext, sizeof *ext);
  ext->magic = EXT_CAMERA;
  ext->self = fdo;
  ext->pdo = pdo;
  ext->plugged = TRUE;
  ext->slot = Z9B_ANY_ID;
  ext->lower = IoAttachDeviceToDeviceStack(fdo, pdo);
  if (!ext->lower) {
    IoDeleteDevice(fdo);
    return STATUS_NO_SUCH_DEVICE;
  }
  status = IoRegisterDeviceInterface(pdo, &kCategoryCapture, NULL, &ext->link);
  if (NT_SUCCESS(status)) {
    ext->registered = TRUE;
    instance_from_link(&ext->link, ext->instanceId, sizeof ext->instanceId);
  }
  if (contains(ext->instanceId, "VID_FFF1&PID_A14C&MI_00"))
    ext->role = Z9B_ROLE_CAMERA;
  else if (contains(ext->instanceId, "VID_FFF1&PID_A14C&MI_01"))
    ext->role = Z9B_ROLE_SECOND;
  else
    ext->role = Z9B_ROLE_FOREIGN;

  KeAcquireSpinLock(&g_lock, &irql);
  for (i = 0; i < Z9B_MAX_DEVICES; ++i) {
    if (!g_devices[i]) {
      g_devices[i] = ext;
      ext->slot = i;
      break;
    }
  }
  KeReleaseSpinLock(&g_lock, irql);

  fdo->Flags |= DO_POWER_PAGABLE;
  fdo->Flags &= ~DO_DEVICE_INITIALIZING;
  return STATUS_SUCCESS;
}

static NTSTATUS NTAPI on_lower_done(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
  KeSetEvent((PKEVENT)context, IO_NO_INCREMENT, FALSE);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

/* Sends the IRP down the stack and waits for it to come back. */
static NTSTATUS forward_and_wait(CAMERA_EXT* ext, PIRP irp) {
  KEVENT done;
  NTSTATUS status;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  IoCopyCurrentIrpStackLocationToNext(irp);
  IoSetCompletionRoutine(irp, on_lower_done, &done, TRUE, TRUE, TRUE);
  status = IoCallDriver(ext->lower, irp);
  if (status == STATUS_PENDING) {
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, NULL);
    status = irp->IoStatus.Status;
  }
  return status;
}

static NTSTATUS pass_down(CAMERA_EXT* ext, PIRP irp) {
  IoSkipCurrentIrpStackLocation(irp);
  return IoCallDriver(ext->lower, irp);
}

static NTSTATUS on_pnp(CAMERA_EXT* ext, PIRP irp) {
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  NTSTATUS status;
  KIRQL irql;

  switch (sp->MinorFunction) {
    case IRP_MN_START_DEVICE:
      status = forward_and_wait(ext, irp);
      /* A root-enumerated stand-in has no resources; a bus that does not
         handle the start is no reason to stay stopped. */
      if (status == STATUS_NOT_SUPPORTED) status = STATUS_SUCCESS;
      if (NT_SUCCESS(status)) {
        ext->started = TRUE;
        if (ext->registered && ext->plugged) IoSetDeviceInterfaceState(&ext->link, TRUE);
      }
      return complete(irp, status, 0);

    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_STOP_DEVICE:
      irp->IoStatus.Status = STATUS_SUCCESS;
      return pass_down(ext, irp);

    case IRP_MN_SURPRISE_REMOVAL:
      if (ext->registered && ext->started && ext->plugged) IoSetDeviceInterfaceState(&ext->link, FALSE);
      ext->generation++;
      ext->started = FALSE;
      irp->IoStatus.Status = STATUS_SUCCESS;
      return pass_down(ext, irp);

    case IRP_MN_REMOVE_DEVICE: {
      PDEVICE_OBJECT lower = ext->lower;
      if (ext->registered && ext->started && ext->plugged) IoSetDeviceInterfaceState(&ext->link, FALSE);
      ext->started = FALSE;
      KeAcquireSpinLock(&g_lock, &irql);
      if (ext->slot < Z9B_MAX_DEVICES && g_devices[ext->slot] == ext) g_devices[ext->slot] = NULL;
      KeReleaseSpinLock(&g_lock, irql);
      irp->IoStatus.Status = STATUS_SUCCESS;
      IoSkipCurrentIrpStackLocation(irp);
      status = IoCallDriver(lower, irp);
      if (ext->registered) RtlFreeUnicodeString(&ext->link);
      ext->registered = FALSE;
      IoDetachDevice(lower);
      IoDeleteDevice(ext->self);
      return status;
    }

    default:
      return pass_down(ext, irp);
  }
}

/* ---- the control device --------------------------------------------------- */

static NTSTATUS control_ioctl(PIRP irp) {
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  ULONG code = sp->Parameters.DeviceIoControl.IoControlCode;
  ULONG inLen = sp->Parameters.DeviceIoControl.InputBufferLength;
  ULONG outLen = sp->Parameters.DeviceIoControl.OutputBufferLength;
  uint8_t* buf = (uint8_t*)irp->AssociatedIrp.SystemBuffer;
  Z9Result r;
  KIRQL irql;
  ULONG i;

  if (!buf) inLen = outLen = 0;
  if (code == Z9B_IOCTL_LIST_DEVICES) {
    Z9B_DEVICE_LIST* list = (Z9B_DEVICE_LIST*)buf;
    if (outLen < sizeof *list) return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    RtlZeroMemory(list, sizeof *list);
    KeAcquireSpinLock(&g_lock, &irql);
    for (i = 0; i < Z9B_MAX_DEVICES; ++i) {
      CAMERA_EXT* e = g_devices[i];
      Z9B_DEVICE* d;
      if (!e) continue;
      d = &list->devices[list->count++];
      d->slot = e->slot;
      d->role = e->role;
      d->plugged = e->plugged;
      d->openHandles = (uint32_t)e->openHandles;
      d->opens = e->opens;
      d->refusedOpens = e->refusedOpens;
      RtlCopyMemory(d->instanceId, e->instanceId, sizeof d->instanceId);
    }
    KeReleaseSpinLock(&g_lock, irql);
    return complete(irp, STATUS_SUCCESS, sizeof *list);
  }
  if (code == Z9B_IOCTL_SET_PLUGGED) {
    Z9B_PLUG plug;
    CAMERA_EXT* targets[Z9B_MAX_DEVICES];
    ULONG n = 0;
    if (inLen < sizeof plug) return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    RtlCopyMemory(&plug, buf, sizeof plug);
    KeAcquireSpinLock(&g_lock, &irql);
    for (i = 0; i < Z9B_MAX_DEVICES; ++i)
      if (g_devices[i] && (plug.slot == Z9B_ANY_ID || plug.slot == i)) targets[n++] = g_devices[i];
    KeReleaseSpinLock(&g_lock, irql);
    if (n == 0) return complete(irp, STATUS_NO_SUCH_DEVICE, 0);
    /* Device objects go away only on IRP_MN_REMOVE_DEVICE, which the PnP
       manager does not send while this request is being served. */
    for (i = 0; i < n; ++i)
      if (targets[i]->plugged != (plug.plugged != 0)) set_plugged(targets[i], plug.plugged != 0);
    return complete(irp, STATUS_SUCCESS, 0);
  }

  KeAcquireSpinLock(&g_lock, &irql);
  r = z9m_control(&g_model, code, buf, inLen, outLen);
  if (code == Z9B_IOCTL_GET_INFO && NT_SUCCESS(r.status)) {
    Z9B_INFO* info = (Z9B_INFO*)buf;
    info->deviceCount = 0;
    for (i = 0; i < Z9B_MAX_DEVICES; ++i)
      if (g_devices[i]) info->deviceCount++;
  }
  if (code == Z9B_IOCTL_RESET || code == Z9B_IOCTL_CLEAR_LOG) {
    for (i = 0; i < Z9B_MAX_DEVICES; ++i)
      if (g_devices[i]) g_devices[i]->opens = g_devices[i]->refusedOpens = 0;
  }
  KeReleaseSpinLock(&g_lock, irql);

  if (code == Z9B_IOCTL_RESET && NT_SUCCESS(r.status)) {
    Z9B_RESET* rq = (Z9B_RESET*)buf;
    if (rq->what == 0 || (rq->what & Z9B_RESET_PLUG)) {
      for (i = 0; i < Z9B_MAX_DEVICES; ++i) {
        CAMERA_EXT* e = g_devices[i];
        if (e && !e->plugged) set_plugged(e, TRUE);
      }
    }
  }
  return complete(irp, (NTSTATUS)r.status, r.returned);
}

/* ---- dispatch ---------------------------------------------------------------- */

static NTSTATUS NTAPI on_irp(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  ULONG magic = *(ULONG*)device->DeviceExtension;
  CAMERA_EXT* ext = (CAMERA_EXT*)device->DeviceExtension;
  KIRQL irql;

  if (magic == EXT_CONTROL) {
    switch (sp->MajorFunction) {
      case IRP_MJ_CREATE:
      case IRP_MJ_CLOSE:
      case IRP_MJ_CLEANUP:
        return complete(irp, STATUS_SUCCESS, 0);
      case IRP_MJ_DEVICE_CONTROL:
        return control_ioctl(irp);
      default:
        return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
  }

  switch (sp->MajorFunction) {
    case IRP_MJ_CREATE: {
      NTSTATUS status = STATUS_SUCCESS;
      KeAcquireSpinLock(&g_lock, &irql);
      if (ext->plugged && ext->started) {
        if (sp->FileObject) sp->FileObject->FsContext = (PVOID)(ULONG_PTR)(ext->generation + 1u);
        ext->openHandles++;
        ext->opens++;
        z9m_note_open(&g_model, 1);
      } else {
        ext->refusedOpens++;
        z9m_note_open(&g_model, 0);
        status = STATUS_DEVICE_NOT_CONNECTED;
      }
      KeReleaseSpinLock(&g_lock, irql);
      return complete(irp, status, 0);
    }
    case IRP_MJ_CLOSE:
      KeAcquireSpinLock(&g_lock, &irql);
      if (ext->openHandles > 0) ext->openHandles--;
      z9m_note_close(&g_model);
      KeReleaseSpinLock(&g_lock, irql);
      return complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_CLEANUP:
      return complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_DEVICE_CONTROL: {
      ULONG code = sp->Parameters.DeviceIoControl.IoControlCode;
      /* METHOD_NEITHER: the property at Type3InputBuffer, the data at UserBuffer. */
      const uint8_t* in = (const uint8_t*)sp->Parameters.DeviceIoControl.Type3InputBuffer;
      uint8_t* out = (uint8_t*)irp->UserBuffer;
      Z9Result r;
      int usable;
      KeAcquireSpinLock(&g_lock, &irql);
      /* Like a removed device: nothing works through a handle that was open at
         an unplug, even after the replug. */
      usable = ext->plugged && ext->started &&
               (!sp->FileObject || !sp->FileObject->FsContext ||
                (ULONG_PTR)sp->FileObject->FsContext == (ULONG_PTR)(ext->generation + 1u));
      r = z9m_device_ioctl(&g_model, ext->slot, usable, code, in,
                           sp->Parameters.DeviceIoControl.InputBufferLength, out,
                           sp->Parameters.DeviceIoControl.OutputBufferLength);
      KeReleaseSpinLock(&g_lock, irql);
      return complete(irp, (NTSTATUS)r.status, r.returned);
    }
    case IRP_MJ_PNP:
      return on_pnp(ext, irp);
    case IRP_MJ_POWER:
      PoStartNextPowerIrp(irp);
      IoSkipCurrentIrpStackLocation(irp);
      return PoCallDriver(ext->lower, irp);
    default:
      return pass_down(ext, irp);
  }
}

static VOID NTAPI on_unload(PDRIVER_OBJECT driver) {
  if (g_control) {
    IoDeleteSymbolicLink(&g_controlLink);
    IoDeleteDevice(g_control);
    g_control = NULL;
  }
  z9m_destroy(&g_model);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry) {
  UNICODE_STRING name;
  NTSTATUS status;
  ULONG i;

  KeInitializeSpinLock(&g_lock);
  g_model.alloc = pool_alloc;
  g_model.release = pool_free;
  z9m_init(&g_model);

  for (i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; ++i) driver->MajorFunction[i] = on_irp;
  driver->DriverExtension->AddDevice = on_add_device;
  driver->DriverUnload = on_unload;

  RtlInitUnicodeString(&name, Z9B_CONTROL_DEVICE_NAME_W);
  RtlInitUnicodeString(&g_controlLink, Z9B_CONTROL_LINK_NAME_W);
  status = IoCreateDevice(driver, sizeof(CONTROL_EXT), &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &g_control);
  if (!NT_SUCCESS(status)) {
    g_control = NULL;
    return status;
  }
  ((CONTROL_EXT*)g_control->DeviceExtension)->magic = EXT_CONTROL;
  status = IoCreateSymbolicLink(&g_controlLink, &name);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(g_control);
    g_control = NULL;
    return status;
  }
  g_control->Flags |= DO_BUFFERED_IO;
  g_control->Flags &= ~DO_DEVICE_INITIALIZING;
  return STATUS_SUCCESS;
}
