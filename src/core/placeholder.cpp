void vyrPlaceholder() {}
