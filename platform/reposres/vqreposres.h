// The repository resource services in one include.
#ifndef VQ_REPOSRES_H
#define VQ_REPOSRES_H

#include "vqrepconfig.h"
#include "vqrepevent.h"
#include "vqreposuri.h"
#include "vqresmgr.h"

#endif
