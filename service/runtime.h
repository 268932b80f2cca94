// The service process: status reports, the service child and the stop protocol.
#pragma once
