// The run set-up of an engine started by the front end.
#pragma once

void DATA();
