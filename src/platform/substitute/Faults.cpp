#include "platform/substitute/Faults.h"

namespace substitute {
namespace {

bool KindMatches(AccessKind wanted, AccessKind actual) {
  switch (wanted) {
    case AccessKind::kAny: return true;
    case AccessKind::kKsAny: return actual == AccessKind::kKsGet || actual == AccessKind::kKsSet;
    default: return wanted == actual;
  }
}

template <typename T>
bool FieldMatches(const std::optional<T>& wanted, const std::optional<T>& actual) {
  return !wanted || (actual && *wanted == *actual);
}

bool RangesMeet(const std::optional<AddressRange>& wanted, const std::optional<AddressRange>& actual) {
  if (!wanted) return true;
  if (!actual) return false;
  return actual->first <= wanted->last && wanted->first <= actual->last;
}

}  // namespace

bool RuleMatches(const FaultRule& rule, const AccessFacts& facts) {
  return KindMatches(rule.kind, facts.kind) && (!rule.accessNumber || *rule.accessNumber == facts.number) &&
         (!rule.selector || (facts.kind != AccessKind::kIoControl && *rule.selector == facts.selector)) &&
         FieldMatches(rule.commandClass, facts.commandClass) && FieldMatches(rule.opcode, facts.opcode) &&
         FieldMatches(rule.bRequest, facts.bRequest) && RangesMeet(rule.addresses, facts.addresses);
}

std::optional<FaultRule> FaultPlan::Match(const AccessFacts& facts) {
  std::optional<FaultRule> firing;
  for (Entry& entry : entries_) {
    if (!RuleMatches(entry.rule, facts)) continue;
    ++entry.matches;
    const bool due = entry.matches > entry.rule.skipMatches && entry.fires < entry.rule.maxFires;
    if (due && !firing) {
      ++entry.fires;
      ++fired_;
      firing = entry.rule;
    }
  }
  return firing;
}

}  // namespace substitute
