#pragma once

// Every platform record and the response wrapper, for the users that need
// most of them (gateway port, formatter).
#include "model/access.hpp"
#include "model/api_response.hpp"
#include "model/dashboard.hpp"
#include "model/deployment.hpp"
#include "model/execution.hpp"
#include "model/groups.hpp"
#include "model/identity.hpp"
#include "model/pipeline.hpp"
#include "model/profile.hpp"
#include "model/project.hpp"
#include "model/workspace.hpp"
