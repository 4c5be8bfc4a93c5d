#pragma once
// Starts skyvane-service.exe from the program's folder when the address in
// force is the build's loopback default and nothing answers there (see
// local_service.h). The service lives in a job object that ends it when the
// program ends.

// The creation sequence, after the settings are read: makes sure on a
// worker that the service answers, with or without a chosen location.
void startLocalService();

// When a start may be tried: in the background at most once a minute; at
// once when the user is waiting for an answer (a search, a place chosen).
enum class ServiceStart { WhenDue, Now };

// Before a download, on its worker: when nothing answers on the service's
// port, starts the service and waits for it, a few seconds at most; a
// download that comes while another worker does so waits for it. True when
// it started the service just now.
bool ensureLocalService(ServiceStart when = ServiceStart::WhenDue);

// On a worker, after a failed download: true when the service's port is
// held by another program, so the widget's own service cannot listen there.
bool localServicePortTaken();

// Starts the service on a worker, at once, without waiting for it: the user
// is about to search.
void startLocalServiceNow();
