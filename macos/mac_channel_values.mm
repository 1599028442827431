// Channel values between FlutterMacOS's standard codec and the seam.
#include "macos/mac_channel_values.h"

#import <FlutterMacOS/FlutterMacOS.h>

#include <cstring>
#include <vector>

#include "macos/mac_conversions.h"

namespace brimlane {
namespace {

template <class Element>
std::vector<Element> elementsOf(NSData* data) {
  std::vector<Element> elements(data.length / sizeof(Element));
  if (!elements.empty())
    std::memcpy(elements.data(), data.bytes, elements.size() * sizeof(Element));
  return elements;
}

template <class Element>
NSData* dataOf(const std::vector<Element>& elements) {
  return [NSData dataWithBytes:elements.data() length:elements.size() * sizeof(Element)];
}

ChannelValue numberToChannelValue(NSNumber* number) {
  // The codec's booleans arrive as NSNumbers too; only their Core Foundation
  // type tells them from the integers 0 and 1.
  if (CFGetTypeID((__bridge CFTypeRef)number) == CFBooleanGetTypeID()) {
    return static_cast<bool>(number.boolValue);
  }
  switch (number.objCType[0]) {
    case 'f':
    case 'd':
      return number.doubleValue;
    case 'c':
    case 'C':
    case 's':
    case 'S':
    case 'i':
      return static_cast<std::int32_t>(number.intValue);
    default:
      return static_cast<std::int64_t>(number.longLongValue);
  }
}

ChannelValue typedDataToChannelValue(FlutterStandardTypedData* typedData) {
  switch (typedData.type) {
    case FlutterStandardDataTypeUInt8:
      return elementsOf<std::uint8_t>(typedData.data);
    case FlutterStandardDataTypeInt32:
      return elementsOf<std::int32_t>(typedData.data);
    case FlutterStandardDataTypeInt64:
      return elementsOf<std::int64_t>(typedData.data);
    case FlutterStandardDataTypeFloat32:
      return elementsOf<float>(typedData.data);
    case FlutterStandardDataTypeFloat64:
      return elementsOf<double>(typedData.data);
  }
  return ChannelValue();
}

}  // namespace

ChannelValue toChannelValue(id value) {
  if (!value || value == NSNull.null) return ChannelValue();
  if ([value isKindOfClass:[NSNumber class]]) return numberToChannelValue(value);
  if ([value isKindOfClass:[NSString class]]) return toString(value);
  if ([value isKindOfClass:[FlutterStandardTypedData class]]) return typedDataToChannelValue(value);
  if ([value isKindOfClass:[NSArray class]]) {
    NSArray* array = value;
    ChannelList list;
    for (id element in array) list.push_back(toChannelValue(element));
    return list;
  }
  if ([value isKindOfClass:[NSDictionary class]]) {
    NSDictionary* dictionary = value;
    ChannelMap map;
    for (id key in dictionary)
      map.emplace_back(toChannelValue(key), toChannelValue(dictionary[key]));
    return map;
  }
  return ChannelValue();
}

id toObjC(const ChannelValue& value) {
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? @YES : @NO;
  if (const auto* number = std::get_if<std::int32_t>(&value)) {
    return [NSNumber numberWithInt:*number];
  }
  if (const auto* number = std::get_if<std::int64_t>(&value)) {
    return [NSNumber numberWithLongLong:*number];
  }
  if (const auto* number = std::get_if<double>(&value)) return [NSNumber numberWithDouble:*number];
  if (const auto* string = std::get_if<std::string>(&value)) return toNSString(*string);
  if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&value)) {
    return [FlutterStandardTypedData typedDataWithBytes:dataOf(*bytes)];
  }
  if (const auto* numbers = std::get_if<std::vector<std::int32_t>>(&value)) {
    return [FlutterStandardTypedData typedDataWithInt32:dataOf(*numbers)];
  }
  if (const auto* numbers = std::get_if<std::vector<std::int64_t>>(&value)) {
    return [FlutterStandardTypedData typedDataWithInt64:dataOf(*numbers)];
  }
  if (const auto* numbers = std::get_if<std::vector<double>>(&value)) {
    return [FlutterStandardTypedData typedDataWithFloat64:dataOf(*numbers)];
  }
  if (const auto* numbers = std::get_if<std::vector<float>>(&value)) {
    return [FlutterStandardTypedData typedDataWithFloat32:dataOf(*numbers)];
  }
  if (const auto* list = std::get_if<ChannelList>(&value)) {
    NSMutableArray* array = [NSMutableArray arrayWithCapacity:list->size()];
    for (const ChannelValue& element : *list) [array addObject:toObjC(element)];
    return array;
  }
  if (const auto* map = std::get_if<ChannelMap>(&value)) {
    NSMutableDictionary* dictionary = [NSMutableDictionary dictionaryWithCapacity:map->size()];
    for (const auto& [key, element] : *map) dictionary[toObjC(key)] = toObjC(element);
    return dictionary;
  }
  return NSNull.null;
}

id toObjCOrNil(const ChannelValue& value) {
  return value.isNull() ? nil : toObjC(value);
}

}  // namespace brimlane
